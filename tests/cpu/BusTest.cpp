#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

TEST(Bus, Read8ReturnsTheByteAndBumpsItsHeat) {
    Machine m;
    m.memory[0x1234] = 0xA5;
    EXPECT_EQ(m.cpu.read8(0x1234), 0xA5);
    EXPECT_EQ(m.heat[0x1234], 50u);
    EXPECT_EQ(m.heat[0x1233], 0u);
    EXPECT_EQ(m.heat[0x1235], 0u);
}

TEST(Bus, HeatSaturatesAtOneHundred) {
    Machine m;
    const std::uint32_t expected[] = {50, 100, 100, 100};
    for (std::uint32_t e : expected) {
        m.cpu.read8(0x0042);
        EXPECT_EQ(m.heat[0x0042], e);
    }
    m.heat[0x0043] = 70; // min(70 + 50, 100)
    m.cpu.read8(0x0043);
    EXPECT_EQ(m.heat[0x0043], 100u);
    m.heat[0x0044] = 49;
    m.cpu.read8(0x0044);
    EXPECT_EQ(m.heat[0x0044], 99u);
}

TEST(Bus, Read16IsBigEndianAndWrapsAtTheTop) {
    Machine m;
    m.memory[0x2000] = 0x12;
    m.memory[0x2001] = 0x34;
    EXPECT_EQ(m.cpu.read16(0x2000), 0x1234);

    m.memory[0xFFFF] = 0xAB;
    m.memory[0x0000] = 0xCD;
    EXPECT_EQ(m.cpu.read16(0xFFFF), 0xABCD);
    EXPECT_EQ(m.heat[0xFFFF], 50u);
    EXPECT_EQ(m.heat[0x0000], 50u);
}

// The window reaches one byte past the last PIA register.
TEST(Bus, Write8LandsOnlyInsideTheWindow) {
    struct Case {
        std::uint16_t address;
        bool lands;
    };
    const Case cases[] = {
        {0x0000, true},  {0x00FF, true},  {0x0400, true},  {0x040F, true},
        {0x0410, true},  {0x0411, false}, {0x04FF, false}, {0x8000, false},
        {0xF800, false}, {0xFFF8, false}, {0xFFFF, false},
    };
    for (const Case& c : cases) {
        Machine m;
        m.memory[c.address] = 0x11;
        m.cpu.write8(c.address, 0x99);
        EXPECT_EQ(m.memory[c.address], c.lands ? 0x99 : 0x11) << std::hex << c.address;
        EXPECT_EQ(m.heat[c.address], c.lands ? 50u : 0u) << std::hex << c.address;
    }
}

TEST(Bus, Write16LandsOnlyWhenBothBytesFit) {
    Machine m;
    m.cpu.write16(0x040F, 0xBEEF);
    EXPECT_EQ(m.memory[0x040F], 0xBE);
    EXPECT_EQ(m.memory[0x0410], 0xEF);
    EXPECT_EQ(m.heat[0x040F], 50u);
    EXPECT_EQ(m.heat[0x0410], 50u);

    Machine n;
    n.cpu.write16(0x0410, 0xBEEF); // the high byte alone would fit: still nothing
    EXPECT_EQ(n.memory[0x0410], 0x00);
    EXPECT_EQ(n.memory[0x0411], 0x00);
    EXPECT_EQ(n.heat[0x0410], 0u);

    n.cpu.write16(0xFFFF, 0xBEEF); // must not wrap round onto 0x0000
    EXPECT_EQ(n.memory[0xFFFF], 0x00);
    EXPECT_EQ(n.memory[0x0000], 0x00);
    EXPECT_EQ(n.heat[0x0000], 0u);
}

TEST(Bus, NoWriteOutsideTheWindowChangesAnything) {
    Machine m;
    for (std::uint32_t a = 0; a < 0x10000; ++a)
        m.memory[a] = static_cast<std::uint8_t>(a ^ (a >> 8));
    const std::vector<std::uint8_t> before = m.memory;
    for (std::uint32_t a = 0x0411; a < 0x10000; ++a) {
        m.cpu.write8(static_cast<std::uint16_t>(a), 0x5A);
        m.cpu.write16(static_cast<std::uint16_t>(a), 0x5A5A);
    }
    m.cpu.write16(0x0410, 0x5A5A);
    EXPECT_EQ(m.memory, before);
    EXPECT_TRUE(std::all_of(m.heat.begin(), m.heat.end(), [](std::uint32_t h) { return h == 0; }));
}

// Whatever bytes the processor runs into and whatever state it is in, it never changes
// memory outside the window and keeps every heat entry within 0..100.
TEST(Bus, RandomProgramsKeepHeatInRangeAndTheImageIntact) {
    std::mt19937 rng(6802);
    for (int round = 0; round < 40; ++round) {
        Machine m;
        for (auto& b : m.memory)
            b = static_cast<std::uint8_t>(rng());
        for (auto& h : m.heat)
            h = rng() % 101;
        const std::vector<std::uint8_t> before = m.memory;
        m.cpu.A = static_cast<std::uint8_t>(rng());
        m.cpu.B = static_cast<std::uint8_t>(rng());
        m.cpu.CC = static_cast<std::uint8_t>(rng());
        m.cpu.X = static_cast<std::uint16_t>(rng());
        m.cpu.SP = static_cast<std::uint16_t>(rng());
        m.cpu.PC = static_cast<std::uint16_t>(rng());

        for (int i = 0; i < 5000; ++i) {
            const std::uint64_t cycles = m.cpu.cycleCount;
            m.cpu.step();
            ASSERT_GE(m.cpu.cycleCount, cycles + 1);
            ASSERT_LE(m.cpu.cycleCount, cycles + 10);
            if (i % 500 == 0) m.cpu.irq();
        }
        EXPECT_TRUE(std::equal(before.begin() + 0x0411, before.end(), m.memory.begin() + 0x0411))
            << "round " << round;
        EXPECT_TRUE(
            std::all_of(m.heat.begin(), m.heat.end(), [](std::uint32_t h) { return h <= 100; }))
            << "round " << round;
    }
}
