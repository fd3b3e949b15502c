#include "audio/OfflineRenderer.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

// The DAC bytes of one command of chip.snd, from its interrupt for a second, under a set.
std::vector<int> play(InstructionSet set, int command) {
    const std::vector<std::uint8_t> image = readRomImage("chip");
    EXPECT_EQ(image.size(), Mc6802::romSize);
    auto renderer = std::make_unique<OfflineRenderer>();
    renderer->board.cpu.instructionSet = set;
    renderer->loadImage(image.data());
    RenderJob job;
    job.seconds = 1.0;
    job.command = command;
    job.interruptTimes = {0.0};
    job.fromFirstInterrupt = true;
    std::vector<int> levels;
    for (float s : renderer->render(job).samples)
        levels.push_back(static_cast<int>(std::lround(s * 1000.0f)) + 127);
    return levels;
}

struct Measured {
    std::size_t distinct;
    bool allDecimal; // every level but the rest level is two decimal digits
    int low, high;
    double seconds; // until the DAC last changed
};

Measured measure(const std::vector<int>& levels) {
    std::set<int> seen(levels.begin(), levels.end());
    seen.erase(0x7F);
    Measured m{seen.size(), true, 255, 0, 0};
    for (int v : seen) {
        m.allDecimal = m.allDecimal && (v & 0x0F) < 10 && (v >> 4) < 10;
        m.low = std::min(m.low, v);
        m.high = std::max(m.high, v);
    }
    for (std::size_t i = 1; i < levels.size(); ++i)
        if (levels[i] != levels[i - 1]) m.seconds = i / 48000.0;
    return m;
}

} // namespace

// chip.snd plays each command as its source says with the complete set, and not with the
// board's: noise of every level for 0.16 s, 100 decimal steps twice in 0.28 s, a triangle
// between the levels of -100 and +100 (28 and 228) for 0.2 s.
TEST(ChipRom, PlaysWithTheCompleteSetOnly) {
    const Measured noise = measure(play(InstructionSet::Complete, 1));
    const Measured counter = measure(play(InstructionSet::Complete, 2));
    const Measured tri = measure(play(InstructionSet::Complete, 3));
    EXPECT_EQ(noise.distinct, 255u); // every level but the rest level
    EXPECT_NEAR(noise.seconds, 0.16, 0.01);
    EXPECT_EQ(std::pair(counter.distinct, counter.allDecimal), std::pair(std::size_t{100}, true));
    EXPECT_NEAR(counter.seconds, 0.28, 0.01);
    EXPECT_EQ(std::pair(tri.low, tri.high), std::pair(28, 228));
    EXPECT_NEAR(tri.seconds, 0.2, 0.01);

    const Measured boardNoise = measure(play(InstructionSet::Board, 1));
    const Measured boardCounter = measure(play(InstructionSet::Board, 2));
    const Measured boardTri = measure(play(InstructionSet::Board, 3));
    EXPECT_LE(boardNoise.distinct, 2u);
    EXPECT_FALSE(boardCounter.allDecimal);
    EXPECT_NE(std::pair(boardTri.low, boardTri.high), std::pair(28, 228));
}
