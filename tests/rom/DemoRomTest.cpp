#include "cpu/Mc6802.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t commandLatch = 0x0402;
constexpr std::uint8_t restLevel = 0x7F;
constexpr int commandCount = 10;

// Steps the processor and records the first unimplemented opcode and the stack's extent.
struct Watch {
    Machine& m;
    std::uint16_t lowestSp = 0xFFFF;
    std::uint16_t highestSp = 0x0000;
    int skippedAt = -1; // PC of the first opcode that took the default path

    bool step() {
        const std::uint16_t pc = m.cpu.PC;
        if (!m.cpu.step() && skippedAt < 0) skippedAt = pc;
        lowestSp = std::min(lowestSp, m.cpu.SP);
        highestSp = std::max(highestSp, m.cpu.SP);
        return skippedAt < 0;
    }
    bool interruptsMasked() const { return (m.cpu.CC & Mc6802::flagI) != 0; }
};

void loadRom(Machine& m, const std::vector<std::uint8_t>& image) {
    std::copy(image.begin(), image.end(), m.memory.begin() + Mc6802::romBase);
    m.cpu.reset();
}

// Runs from reset until the program unmasks interrupts; returns the PC it waits at.
std::uint16_t boot(Watch& w) {
    const std::uint64_t limit = w.m.cpu.cycleCount + 5'000'000;
    while (w.interruptsMasked() && w.m.cpu.cycleCount < limit && w.step()) {
    }
    return w.m.cpu.PC;
}

} // namespace

TEST(DemoRom, ImagesAreWholePromsWithVectorsIntoTheProm) {
    for (const char* name : {"demo", "tone"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> image = readRomImage(name);
        ASSERT_EQ(image.size(), Mc6802::romSize);
        const unsigned resetAt = image[2046] << 8 | image[2047];
        const unsigned irqAt = image[2040] << 8 | image[2041];
        EXPECT_GE(resetAt, Mc6802::romBase);
        EXPECT_GE(irqAt, Mc6802::romBase);
    }
}

TEST(DemoRom, BootPlaysTheChimeThenWaitsWithInterruptsOpen) {
    Machine m;
    loadRom(m, readRomImage("demo"));
    Watch w{m};
    std::vector<std::uint8_t> levels;
    const std::uint64_t limit = m.cpu.cycleCount + 5'000'000;
    while (w.interruptsMasked() && m.cpu.cycleCount < limit && w.step())
        if (levels.empty() || levels.back() != m.memory[Mc6802::dacAddress])
            levels.push_back(m.memory[Mc6802::dacAddress]);
    EXPECT_EQ(w.skippedAt, -1) << "unimplemented opcode at " << std::hex << w.skippedAt;
    EXPECT_FALSE(w.interruptsMasked()) << "never unmasked interrupts";
    EXPECT_GT(levels.size(), 100u) << "the chime should toggle the DAC many times";
    EXPECT_EQ(m.memory[Mc6802::dacAddress], restLevel);
    EXPECT_LE(w.highestSp, 0x007F);
    // About 0.41 s of chime at 912,000 cycles a second.
    EXPECT_NEAR(static_cast<double>(m.cpu.cycleCount) / 912000.0, 0.41, 0.02);

    // Idle: the waiting loop writes nothing and keeps interrupts open.
    const std::uint16_t waitPc = m.cpu.PC;
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(w.step());
    EXPECT_EQ(m.cpu.PC, waitPc);
    EXPECT_FALSE(w.interruptsMasked());
}

// Every command, and a few that must be ignored, runs to its return from interrupt using
// only executed opcodes and a stack inside the direct page, and leaves the DAC at rest.
TEST(DemoRom, EveryCommandRunsToItsReturnWithImplementedOpcodes) {
    const std::vector<std::uint8_t> image = readRomImage("demo");
    ASSERT_EQ(image.size(), Mc6802::romSize);
    std::vector<int> commands;
    for (int c = 0; c <= commandCount + 1; ++c)
        commands.push_back(c);
    commands.push_back(0x80);
    commands.push_back(0xFF);

    for (int command : commands) {
        SCOPED_TRACE(testing::Message() << "command " << command);
        Machine m;
        loadRom(m, image);
        Watch w{m};
        const std::uint16_t waitPc = boot(w);
        ASSERT_EQ(w.skippedAt, -1);
        ASSERT_FALSE(w.interruptsMasked());
        const std::uint16_t spBefore = m.cpu.SP;

        m.memory[commandLatch] = static_cast<std::uint8_t>(command);
        m.cpu.irq();
        ASSERT_TRUE(w.interruptsMasked());
        const std::uint64_t start = m.cpu.cycleCount;
        int dacChanges = 0;
        std::uint8_t dac = m.memory[Mc6802::dacAddress];
        while (m.cpu.cycleCount - start < 3 * 912000 && w.step()) {
            if (m.memory[Mc6802::dacAddress] != dac) {
                dac = m.memory[Mc6802::dacAddress];
                ++dacChanges;
            }
            if (!w.interruptsMasked() && m.cpu.PC == waitPc) break;
        }
        EXPECT_EQ(w.skippedAt, -1) << "unimplemented opcode at " << std::hex << w.skippedAt;
        EXPECT_EQ(m.cpu.PC, waitPc) << "did not return to the waiting loop within 3 s";
        EXPECT_FALSE(w.interruptsMasked());
        EXPECT_EQ(m.cpu.SP, spBefore);
        EXPECT_GE(w.lowestSp, 0x0060) << "stack ran deep into the variables";
        EXPECT_LE(w.highestSp, 0x007F);
        EXPECT_EQ(m.memory[Mc6802::dacAddress], restLevel);
        if (command >= 1 && command <= commandCount)
            EXPECT_GT(dacChanges, 100);
        else
            EXPECT_EQ(dacChanges, 0);
    }
}
