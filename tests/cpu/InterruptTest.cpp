#include "tests/support/Program.h"

#include <gtest/gtest.h>

// A masked request changes nothing and is lost. Otherwise the frame from S = SP down: PC low,
// PC high, X low, X high, A, B, CC (I as before); SP = S - 7, PC from 0xFFF8, I set, no cycles.
// RTI restores every register in 10 cycles.
TEST(Interrupt, EntryStacksTheFrameAndRtiRestoresIt) {
    Machine m;
    m.load(0xFFF8, {0xF9, 0x00});
    m.memory[0xF900] = 0x3B; // rti
    m.memory[0xF8E5] = 0x0E; // cli
    const Regs before{0xA1, 0xB2, 0x2D, 0xC3D4, 0x007F, 0xF8E5};
    m.setRegs({0xA1, 0xB2, 0x3D, 0xC3D4, 0x007F, 0xF8E5});
    m.cpu.irq();
    EXPECT_EQ(m.regs(), (Regs{0xA1, 0xB2, 0x3D, 0xC3D4, 0x007F, 0xF8E5}));
    EXPECT_EQ(m.heat, std::vector<std::uint32_t>(0x10000));
    m.run(); // the request does not come back once unmasked
    EXPECT_EQ(m.regs(), (Regs{0xA1, 0xB2, 0x2D, 0xC3D4, 0x007F, 0xF8E6}));
    m.setRegs(before);
    m.cpu.irq();
    const std::vector<std::uint8_t> frame(m.memory.begin() + 0x79, m.memory.begin() + 0x80);
    EXPECT_EQ(frame, (std::vector<std::uint8_t>{0x2D, 0xB2, 0xA1, 0xC3, 0xD4, 0xF8, 0xE5}));
    EXPECT_EQ(m.regs(), (Regs{0xA1, 0xB2, 0x3D, 0xC3D4, 0x0078, 0xF900}));
    EXPECT_EQ(m.heat[0xFFF9] + m.heat[0x0079], 100u);
    EXPECT_EQ(m.cpu.cycleCount, 2u); // the cli's
    EXPECT_EQ(m.run(), 10u);
    EXPECT_EQ(m.regs(), before);
}

// RTI may unmask interrupts but never masks them: a pulled I = 1 keeps the I of before; every
// other bit, 6 and 7 included, is taken as pulled. Rows: CC before, CC pulled, CC after.
TEST(Interrupt, RtiUnmasksButNeverMasks) {
    const std::uint8_t cases[][3] = {
        {0x00, 0x10, 0x00}, {0x10, 0x10, 0x10}, {0x10, 0x00, 0x00},
        {0x00, 0xFF, 0xEF}, {0x10, 0xFF, 0xFF}, {0x1F, 0xC0, 0xC0},
    };
    for (const auto& c : cases) {
        const std::vector<Program::Byte> frame = {
            {0x71, c[1]}, {0x72, 1}, {0x73, 2}, {0x74, 3}, {0x75, 4}, {0x76, 0xF8}, {0x77, 0x10}};
        Program{{{0x3B}, {.CC = c[0], .SP = 0x70, .PC = 0xF800}, frame}, // rti
                {{2, 1, c[2], 0x0304, 0x77, 0xF810}, 10}}
            .check();
    }
}
