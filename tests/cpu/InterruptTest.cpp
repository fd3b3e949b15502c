#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

void setVector(Machine& m, std::uint16_t routine) {
    m.load(0xFFF8, {static_cast<std::uint8_t>(routine >> 8), static_cast<std::uint8_t>(routine)});
}

} // namespace

TEST(Interrupt, MaskedRequestChangesNothingAndIsForgotten) {
    Machine m;
    setVector(m, 0xF900);
    m.cpu.A = 1;
    m.cpu.X = 0x1234;
    m.cpu.PC = 0xF800;
    m.cpu.SP = 0x007F;
    m.cpu.CC = 0x10;
    m.memory[0xF800] = 0x0E; // cli
    const std::vector<std::uint8_t> memory = m.memory;
    const std::vector<std::uint32_t> heat = m.heat;
    m.cpu.irq();
    EXPECT_EQ(m.memory, memory);
    EXPECT_EQ(m.heat, heat);
    EXPECT_EQ(m.cpu.PC, 0xF800);
    EXPECT_EQ(m.cpu.SP, 0x007F);
    EXPECT_EQ(m.cpu.CC, 0x10);
    m.run(); // cli: the lost request does not come back
    EXPECT_EQ(m.cpu.PC, 0xF801);
}

TEST(Interrupt, EntryStacksTheFrameAndRtiRestoresIt) {
    Machine m;
    setVector(m, 0xF900);
    m.memory[0xF900] = 0x3B; // rti
    m.cpu.A = 0xA1;
    m.cpu.B = 0xB2;
    m.cpu.X = 0xC3D4;
    m.cpu.PC = 0xF8E5;
    m.cpu.SP = 0x007F;
    m.cpu.CC = 0x2D; // H, N, Z, C; I clear
    m.cpu.cycleCount = 100;

    m.cpu.irq();
    EXPECT_EQ(m.memory[0x007F], 0xE5); // PC low
    EXPECT_EQ(m.memory[0x007E], 0xF8); // PC high
    EXPECT_EQ(m.memory[0x007D], 0xD4); // X low
    EXPECT_EQ(m.memory[0x007C], 0xC3); // X high
    EXPECT_EQ(m.memory[0x007B], 0xA1); // A
    EXPECT_EQ(m.memory[0x007A], 0xB2); // B
    EXPECT_EQ(m.memory[0x0079], 0x2D); // CC before the entry
    EXPECT_EQ(m.cpu.SP, 0x0078);
    EXPECT_EQ(m.cpu.PC, 0xF900);
    EXPECT_EQ(m.cpu.CC, 0x3D);
    EXPECT_EQ(m.cpu.cycleCount, 100u);
    EXPECT_EQ(m.heat[0xFFF8], 50u);
    EXPECT_EQ(m.heat[0xFFF9], 50u);

    EXPECT_EQ(m.run(), 10u); // rti
    EXPECT_EQ(m.cpu.A, 0xA1);
    EXPECT_EQ(m.cpu.B, 0xB2);
    EXPECT_EQ(m.cpu.X, 0xC3D4);
    EXPECT_EQ(m.cpu.PC, 0xF8E5);
    EXPECT_EQ(m.cpu.CC, 0x2D);
    EXPECT_EQ(m.cpu.SP, 0x007F);
}

// RTI may unmask interrupts but never masks them: a pulled I = 1 keeps the I of before.
TEST(Interrupt, RtiMaskRule) {
    struct Case {
        std::uint8_t ccBefore, pulled, ccAfter;
    };
    const Case cases[] = {
        {0x00, 0x10, 0x00}, {0x10, 0x10, 0x10}, {0x10, 0x00, 0x00},
        {0x00, 0xFF, 0xEF}, {0x10, 0xFF, 0xFF}, {0x1F, 0xC0, 0xC0}, // bits 6-7 and H as pulled
    };
    for (const Case& c : cases) {
        Machine m;
        m.load(0x0071, {c.pulled, 0x01, 0x02, 0x03, 0x04, 0xF8, 0x10});
        m.program(0xF800, {0x3B}); // rti
        m.cpu.SP = 0x0070;
        m.cpu.CC = c.ccBefore;
        EXPECT_EQ(m.run(), 10u);
        EXPECT_EQ(m.cpu.CC, c.ccAfter) << int{c.ccBefore} << " " << int{c.pulled};
        EXPECT_EQ(m.cpu.B, 0x01);
        EXPECT_EQ(m.cpu.A, 0x02);
        EXPECT_EQ(m.cpu.X, 0x0304);
        EXPECT_EQ(m.cpu.PC, 0xF810);
        EXPECT_EQ(m.cpu.SP, 0x0077);
    }
}

// Entry followed by RTI gives back every register, for many states and stack positions.
TEST(Interrupt, FrameRoundTripsForManyStates) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 2000; ++i) {
        Machine m;
        const std::uint16_t routine = static_cast<std::uint16_t>(rng());
        setVector(m, routine);
        m.memory[routine] = 0x3B; // rti
        const std::uint8_t a = static_cast<std::uint8_t>(rng());
        const std::uint8_t b = static_cast<std::uint8_t>(rng());
        const std::uint8_t cc = static_cast<std::uint8_t>(rng() & ~0x10u);
        const std::uint16_t x = static_cast<std::uint16_t>(rng());
        const std::uint16_t pc = static_cast<std::uint16_t>(rng());
        const std::uint16_t sp = static_cast<std::uint16_t>(0x0007 + rng() % (0x0410 - 0x0007));
        m.cpu.A = a;
        m.cpu.B = b;
        m.cpu.CC = cc;
        m.cpu.X = x;
        m.cpu.PC = pc;
        m.cpu.SP = sp;
        if ((routine >= sp - 7 && routine <= sp) || routine == 0xFFF8 || routine == 0xFFF9)
            continue; // the frame or the rti would overwrite the routine or its vector

        m.cpu.irq();
        ASSERT_EQ(m.cpu.PC, routine);
        ASSERT_EQ(m.cpu.SP, static_cast<std::uint16_t>(sp - 7));
        ASSERT_TRUE(m.cpu.CC & 0x10);
        ASSERT_EQ(m.run(), 10u);
        EXPECT_EQ(m.cpu.A, a);
        EXPECT_EQ(m.cpu.B, b);
        EXPECT_EQ(m.cpu.CC, cc);
        EXPECT_EQ(m.cpu.X, x);
        EXPECT_EQ(m.cpu.PC, pc);
        EXPECT_EQ(m.cpu.SP, sp);
    }
}

// A frame pushed outside the write window is lost; SP moves all the same.
TEST(Interrupt, EntryWithTheStackOutsideTheWindow) {
    Machine m;
    setVector(m, 0xF900);
    m.cpu.SP = 0x0500;
    m.cpu.PC = 0xF812;
    m.cpu.A = 0x55;
    m.cpu.irq();
    EXPECT_EQ(m.cpu.SP, 0x04F9);
    EXPECT_EQ(m.cpu.PC, 0xF900);
    for (std::uint32_t a = 0x04F9; a <= 0x0500; ++a)
        EXPECT_EQ(m.memory[a], 0) << std::hex << a;
}

// The program enables interrupts and spins; each request runs the routine once, which
// counts in RAM and returns to the spin loop.
TEST(Interrupt, RoutineRunsOncePerRequest) {
    Machine m;
    setVector(m, 0xF810);
    m.program(0xF800, {
                          0x8E, 0x00, 0x7F, // F800      lds  #$007f
                          0x0E,             // F803      cli
                          0x20, 0xFE,       // F804 spin bra  spin
                      });
    m.load(0xF810, {
                       0x7C, 0x00, 0x20, // F810 irq  inc  $0020
                       0x3B,             // F813      rti
                   });
    m.run(3);
    for (int n = 1; n <= 3; ++n) {
        m.cpu.irq();
        m.cpu.irq(); // masked while the routine runs: lost
        m.run(2);    // inc, rti
        EXPECT_EQ(m.memory[0x0020], n);
        EXPECT_EQ(m.cpu.PC, 0xF804);
        EXPECT_EQ(m.cpu.SP, 0x007F);
        EXPECT_EQ(m.cpu.CC & 0x10, 0);
        m.run(5);
        EXPECT_EQ(m.cpu.PC, 0xF804);
    }
}
