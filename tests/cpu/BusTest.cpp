#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <algorithm>

// A bump adds 50 and stops at 100: 49 goes to 99, 50 and more to 100.
TEST(Bus, HeatBumpsStopAtOneHundred) {
    Machine m;
    const std::uint32_t before[] = {0, 49, 50, 90, 100}, after[] = {50, 99, 100, 100, 100};
    for (int i = 0; i < 5; ++i) {
        m.heat[i] = before[i];
        m.cpu.read8(static_cast<std::uint16_t>(i));
        EXPECT_EQ(m.heat[i], after[i]) << before[i];
    }
}

// Writes land only in 0x0000..0x0410; a 16-bit one only when both bytes do: not at 0x0410,
// and not wrapping from 0xFFFF to 0x0000.
TEST(Bus, NoWriteOutsideTheWindowChangesAByteOrItsHeat) {
    Machine m;
    for (std::uint32_t a = 0; a < 0x10000; ++a)
        m.memory[a] = static_cast<std::uint8_t>(a ^ (a >> 8));
    const std::vector<std::uint8_t> before = m.memory;
    for (std::uint32_t a = 0x0410; a < 0x10000; ++a) {
        if (a > 0x0410) m.cpu.write8(static_cast<std::uint16_t>(a), 0x5A);
        m.cpu.write16(static_cast<std::uint16_t>(a), 0x5A5A);
    }
    EXPECT_EQ(m.memory, before);
    EXPECT_EQ(*std::max_element(m.heat.begin(), m.heat.end()), 0u);
}

// Reset clears 0x0000..0x04FF (not its heat), loads PC from 0xFFFE with a bump on each byte,
// zeroes the registers and masks interrupts; cycleCount and the rest of memory stay.
TEST(Reset, ClearsLowMemoryLoadsThePcAndMasksInterrupts) {
    Machine m;
    std::fill(m.memory.begin(), m.memory.end(), 0xEE);
    std::fill(m.heat.begin(), m.heat.end(), 7);
    m.load(0xFFFE, {0xF8, 0x10});
    m.setRegs({0x12, 0x34, 0xEF, 0x5678, 0x007F, 0x1234});
    m.cpu.cycleCount = 12345;
    m.cpu.reset();
    m.cpu.irq(); // masked, so lost
    EXPECT_EQ(m.regs(), (Regs{.CC = 0x10, .PC = 0xF810}));
    EXPECT_EQ(m.cpu.cycleCount, 12345u);
    EXPECT_EQ(std::count(m.memory.begin(), m.memory.end(), 0), 0x0500);
    EXPECT_EQ(m.memory[0x0500], 0xEE);
    EXPECT_EQ(m.heat[0x04FF] + m.heat[0xFFFE] + m.heat[0xFFFF], 7u + 57 + 57);
}
