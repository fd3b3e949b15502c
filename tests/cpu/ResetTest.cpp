#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(Reset, LoadsThePcFromTheVectorAndClearsTheLowMemory) {
    Machine m;
    for (std::uint32_t a = 0; a < 0x0600; ++a) {
        m.memory[a] = 0xEE;
        m.heat[a] = 7;
    }
    m.memory[0xFFFE] = 0xF8; // reset vector 0xF800
    m.memory[0xFFFF] = 0x00;
    m.cpu.A = 0x12;
    m.cpu.B = 0x34;
    m.cpu.X = 0x5678;
    m.cpu.SP = 0x007F;
    m.cpu.PC = 0x1234;
    m.cpu.CC = 0xEF;
    m.cpu.cycleCount = 12345;

    m.cpu.reset();

    EXPECT_EQ(m.cpu.PC, 0xF800);
    EXPECT_EQ(m.cpu.CC, 0x10);
    EXPECT_EQ(m.cpu.A, 0);
    EXPECT_EQ(m.cpu.B, 0);
    EXPECT_EQ(m.cpu.X, 0);
    EXPECT_EQ(m.cpu.SP, 0);
    EXPECT_EQ(m.cpu.cycleCount, 12345u);
    for (std::uint32_t a = 0; a <= 0x04FF; ++a)
        ASSERT_EQ(m.memory[a], 0) << std::hex << a;
    EXPECT_EQ(m.memory[0x0500], 0xEE);
    EXPECT_EQ(m.memory[0x05FF], 0xEE);
    // The cleared bytes keep their heat; the vector bytes get one bump each.
    EXPECT_EQ(m.heat[0x0000], 7u);
    EXPECT_EQ(m.heat[0x04FF], 7u);
    EXPECT_EQ(m.heat[0xFFFE], 50u);
    EXPECT_EQ(m.heat[0xFFFF], 50u);
}

TEST(Reset, WithEmptyMemoryStartsAtZero) {
    Machine m;
    m.cpu.PC = 0x4321;
    m.cpu.reset();
    EXPECT_EQ(m.cpu.PC, 0x0000);
    EXPECT_EQ(m.cpu.CC, 0x10);
}

// Interrupts are masked after reset: a request before the program's CLI is lost.
TEST(Reset, MasksInterrupts) {
    Machine m;
    m.load(0xFFF8, {0xF9, 0x00});
    m.load(0xFFFE, {0xF8, 0x00});
    m.cpu.reset();
    m.cpu.irq();
    EXPECT_EQ(m.cpu.PC, 0xF800);
    EXPECT_EQ(m.cpu.SP, 0x0000);
}
