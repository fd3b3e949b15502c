#include "ui/CpuSnapshot.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(CpuSnapshot, CaptureCopiesRegistersMemoryHeatAndCursor) {
    Machine m;
    m.cpu.A = 0x11;
    m.cpu.B = 0x22;
    m.cpu.CC = 0x2B;
    m.cpu.X = 0x3344;
    m.cpu.PC = 0xF8A0;
    m.cpu.SP = 0x007F;
    m.cpu.cycleCount = 123456789;
    m.memory[0x0000] = 0xAA;
    m.memory[0x0400] = 0x80;
    m.memory[0xFFFF] = 0x55;
    m.heat[0x0010] = 100;
    m.heat[0xFFFF] = 3;

    CpuSnapshot snapshot;
    snapshot.capture(m.cpu, 2079);
    const Mc6802& s = snapshot.cpu;
    EXPECT_EQ(s.A, 0x11);
    EXPECT_EQ(s.B, 0x22);
    EXPECT_EQ(s.CC, 0x2B);
    EXPECT_EQ(s.X, 0x3344);
    EXPECT_EQ(s.PC, 0xF8A0);
    EXPECT_EQ(s.SP, 0x007F);
    EXPECT_EQ(s.cycleCount, 123456789u);
    EXPECT_EQ(snapshot.editCursor, 2079);
    // The copy has arrays of its own.
    ASSERT_EQ(s.memory, snapshot.memory.get());
    ASSERT_EQ(s.heat, snapshot.heat.get());
    EXPECT_NE(s.memory, m.memory.data());
    EXPECT_TRUE(std::equal(m.memory.begin(), m.memory.end(), s.memory));
    EXPECT_TRUE(std::equal(m.heat.begin(), m.heat.end(), s.heat));

    // Later changes to the live processor do not reach the copy until the next capture.
    m.memory[0x0000] = 0x01;
    m.heat[0x0010] = 0;
    m.cpu.A = 0x99;
    EXPECT_EQ(s.memory[0x0000], 0xAA);
    EXPECT_EQ(s.heat[0x0010], 100u);
    EXPECT_EQ(s.A, 0x11);
    snapshot.capture(m.cpu, 5);
    EXPECT_EQ(s.memory[0x0000], 0x01);
    EXPECT_EQ(s.heat[0x0010], 0u);
    EXPECT_EQ(s.A, 0x99);
    EXPECT_EQ(snapshot.editCursor, 5);
}

TEST(CpuSnapshot, StartsZeroed) {
    CpuSnapshot snapshot;
    EXPECT_TRUE(std::all_of(snapshot.memory.get(), snapshot.memory.get() + Mc6802::memorySize,
                            [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(snapshot.heat.get(), snapshot.heat.get() + Mc6802::memorySize,
                            [](auto h) { return h == 0; }));
}

} // namespace
