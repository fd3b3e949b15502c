#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

// runUntil is the audio clock's loop; it must leave exactly the state that calling step
// while cycleCount is below the target leaves, overshoot included.
TEST(RunUntil, MatchesAStepLoop) {
    std::mt19937 rng(19);
    Machine a, b;
    for (std::uint32_t i = 0; i < 0x10000; ++i)
        a.memory[i] = b.memory[i] = static_cast<std::uint8_t>(rng());
    a.cpu.PC = b.cpu.PC = 0xF800;
    a.cpu.SP = b.cpu.SP = 0x0100;
    std::uint64_t target = 0;
    for (int sample = 0; sample < 2000; ++sample) {
        target += 1 + rng() % 40;
        a.cpu.runUntil(target);
        while (b.cpu.cycleCount < target)
            b.cpu.step();
        ASSERT_EQ(a.cpu.cycleCount, b.cpu.cycleCount);
        ASSERT_EQ(a.cpu.PC, b.cpu.PC);
    }
    EXPECT_EQ(a.cpu.A, b.cpu.A);
    EXPECT_EQ(a.cpu.B, b.cpu.B);
    EXPECT_EQ(a.cpu.CC, b.cpu.CC);
    EXPECT_EQ(a.cpu.X, b.cpu.X);
    EXPECT_EQ(a.cpu.SP, b.cpu.SP);
    EXPECT_EQ(a.memory, b.memory);
    EXPECT_EQ(a.heat, b.heat);
}

TEST(RunUntil, DoesNothingWhenAlreadyThere) {
    Machine m;
    m.program(0x0200, {0x4C}); // inca
    m.cpu.cycleCount = 50;
    m.cpu.runUntil(50);
    m.cpu.runUntil(10);
    EXPECT_EQ(m.cpu.PC, 0x0200);
    EXPECT_EQ(m.cpu.A, 0);
    EXPECT_EQ(m.heat[0x0200], 0u);
}

TEST(RunUntil, OvershootsByAtMostOneInstruction) {
    Machine m;
    m.program(0xF800, {0xBD, 0xF8, 0x00}); // here: jsr here (9 cycles)
    m.cpu.SP = 0x007F;
    m.cpu.runUntil(10);
    EXPECT_EQ(m.cpu.cycleCount, 18u);
}
