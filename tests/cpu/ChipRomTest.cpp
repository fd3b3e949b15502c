#include "audio/OfflineRenderer.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <tuple>

namespace {

// One second of a chip.snd command: DAC levels but rest, all decimal?, seconds to the last change.
auto play(InstructionSet set, int command) {
    const std::vector<std::uint8_t> image = readRomImage("chip");
    EXPECT_EQ(image.size(), Mc6802::romSize);
    auto renderer = std::make_unique<OfflineRenderer>();
    renderer->board.cpu.instructionSet = set;
    renderer->loadImage(image.data());
    const RenderResult r = renderer->render(
        {.seconds = 1.0, .command = command, .interruptTimes = {0.0}, .fromFirstInterrupt = true});
    std::set<int> levels;
    for (float s : r.samples)
        levels.insert(static_cast<int>(std::lround(s * 1000.0f)) + 127);
    levels.erase(0x7F);
    bool decimal = true;
    for (int v : levels)
        decimal = decimal && (v & 0x0F) < 10 && (v >> 4) < 10;
    return std::tuple(levels, decimal, std::lround(r.lastChange / 480.0) / 100.0);
}

} // namespace

// Complete set: noise, 100 decimal steps, a triangle from 28 to 228. Not with the board's.
TEST(ChipRom, PlaysWithTheCompleteSetOnly) {
    const auto [noise, noiseDecimal, noiseSeconds] = play(InstructionSet::Complete, 1);
    EXPECT_EQ(std::pair(noise.size(), noiseSeconds), std::pair(std::size_t{255}, 0.16));
    const auto [counter, decimal, counterSeconds] = play(InstructionSet::Complete, 2);
    EXPECT_EQ(std::tuple(counter.size(), decimal, counterSeconds),
              std::tuple(std::size_t{100}, true, 0.28));
    const auto [tri, triDecimal, triSeconds] = play(InstructionSet::Complete, 3);
    EXPECT_EQ(std::tuple(*tri.begin(), *tri.rbegin(), triSeconds), std::tuple(28, 228, 0.2));

    EXPECT_LE(std::get<0>(play(InstructionSet::Board, 1)).size(), 2u);
    EXPECT_FALSE(std::get<1>(play(InstructionSet::Board, 2)));
    const std::set<int> boardTri = std::get<0>(play(InstructionSet::Board, 3));
    EXPECT_NE(std::pair(*boardTri.begin(), *boardTri.rbegin()), std::pair(28, 228));
}
