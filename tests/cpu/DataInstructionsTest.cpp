#include "cpu/OpcodeTable.h"
#include "tests/support/InstructionSet.h"
#include "tests/support/Program.h"

#include <gtest/gtest.h>

#include <random>

// Every byte value executes with the cycles and length the instruction set gives it, or is
// skipped as one byte and one cycle that changes nothing else. The debugger steps over what the
// listing shows, so a listed length must be how far a step moves PC.
TEST(OpcodeTable, EveryByteExecutesAsTheInstructionSetSays) {
    for (int op = 0; op < 256; ++op) {
        const Instruction& is = instructionSet()[op];
        SCOPED_TRACE(testing::Message() << "opcode 0x" << std::hex << op << " " << is.mnemonic);
        Machine m;
        m.setRegs({.A = 0x11, .B = 0x22, .CC = 0x05, .X = 0x0100, .SP = 0x007F, .PC = 0x0200});
        m.load(0x0200, {static_cast<std::uint8_t>(op), 0x00, 0x00});
        const std::vector<std::uint8_t> memory = m.memory;
        char text[12];
        const std::uint32_t listedNext = m.cpu.disassemble(0x0200, text);
        const bool executed = m.cpu.step();
        EXPECT_EQ(executed, !is.mnemonic.empty());
        EXPECT_EQ(m.cpu.cycleCount, is.cycles);
        if (!opcodeTable[op].setsPc()) { // jumps are checked on their own
            EXPECT_EQ(m.cpu.PC, 0x0200 + is.length);
            EXPECT_TRUE(!is.listed || listedNext == m.cpu.PC) << text;
        }
        if (!executed) {
            EXPECT_EQ(m.regs(), (Regs{0x11, 0x22, 0x05, 0x0100, 0x007F, 0x0201}));
            EXPECT_EQ(m.memory, memory);
        }
    }
}

// runUntil is the audio clock's loop: it must leave exactly the state that stepping while
// cycleCount is below the target leaves, overshoot (and a target already passed) included.
TEST(RunUntil, MatchesAStepLoop) {
    std::mt19937 rng(19);
    Machine a, b;
    for (std::uint32_t i = 0; i < 0x10000; ++i)
        a.memory[i] = b.memory[i] = static_cast<std::uint8_t>(rng());
    a.setRegs({.SP = 0x0100, .PC = 0xF800});
    b.setRegs(a.regs());
    std::uint64_t target = 0;
    for (int sample = 0; sample < 2000; ++sample) {
        target += 1 + rng() % 40;
        a.cpu.runUntil(target);
        while (b.cpu.cycleCount < target)
            b.cpu.step();
        ASSERT_EQ(a.cpu.cycleCount, b.cpu.cycleCount);
        ASSERT_EQ(a.regs(), b.regs());
    }
    EXPECT_EQ(a.memory, b.memory);
    EXPECT_EQ(a.heat, b.heat);
}

// Register operations and the 16-bit instructions, then the edges of the addressing modes:
// operands past 0xFFFF, direct 16-bit access at 0xFF, indexed addresses that wrap, and writes
// that the write window drops while the flags still change.
TEST(DataInstructions, HandAssembledCases) {
    const Program cases[] = {
        {{{0x01}, {1, 2, 0x0F, 3, 4}}, {{1, 2, 0x0F, 3, 4, 1}, 2}},                  // nop
        {{{0x07}, {.CC = 0xD4}}, {{.A = 0xD4, .CC = 0xD4, .PC = 1}, 2}},             // tpa
        {{{0x08}, {.X = 0xFFFF}}, {{.CC = 0x04, .PC = 1}, 4}},                       // inx
        {{{0x08}, {.CC = 0x0C, .X = 0xFF}}, {{.CC = 0x08, .X = 0x100, .PC = 1}, 4}}, // inx
        {{{0x09}, {.X = 0x0001}}, {{.CC = 0x04, .PC = 1}, 4}},                       // dex
        {{{0x0C}, {.CC = 0xFF}}, {{.CC = 0xFE, .PC = 1}, 2}},                        // clc
        {{{0x0E}, {.CC = 0xFF}}, {{.CC = 0xEF, .PC = 1}, 2}},                        // cli
        {{{0x0F}, {}}, {{.CC = 0x10, .PC = 1}, 2}},                                  // sei
        {{{0x10}, {.A = 0x10, .B = 0x20}}, {{0xF0, 0x20, 0x09, 0, 0, 1}, 2}},        // sba
        {{{0x16}, {.A = 0x80, .CC = 0x04}}, {{0x80, 0x80, 0x08, 0, 0, 1}, 2}},       // tab
        {{{0x17}, {.A = 0x80, .CC = 0x08}}, {{.CC = 0x04, .PC = 1}, 2}},             // tba
        {{{0x1B}, {.A = 0xF0, .B = 0x20}}, {{0x10, 0x20, 0x01, 0, 0, 1}, 2}},        // aba
        {{{0x8A, 0x4F}, {.A = 0x77}, {}, 2}, {{.CC = 0x04, .PC = 2}, 3}}, // (skipped), clra
        {{{0x8E, 0x80, 0x00}, {.CC = 0x0B}},                              // lds  #$8000
         {{.CC = 0x0B, .SP = 0x8000, .PC = 3}, 3}},
        {{{0x8C, 0x12, 0x35}, {.CC = 0x07, .X = 0x1234}}, // cpx  #$1235
         {{.CC = 0x0B, .X = 0x1234, .PC = 3}, 3}},
        {{{0x86}, {.PC = 0xFFFF}, {{0, 0x42}}}, {{.A = 0x42, .PC = 1}, 2}},         // ldaa #$42
        {{{0xCE, 0xAB}, {.PC = 0xFFFE}, {{0, 0xCD}}}, {{.X = 0xABCD, .PC = 1}, 3}}, // ldx  #$abcd
        {{{0xDE, 0xFF}, {}, {{0xFF, 0x12}, {0x100, 0x34}}},                         // ldx  $ff
         {{.X = 0x1234, .PC = 2}, 4}},
        {{{0x9C, 0xFF}, {.CC = 0x08, .X = 0x1234}, {{0xFF, 0x12}, {0x100, 0x34}}}, // cpx  $ff
         {{.CC = 0x04, .X = 0x1234, .PC = 2}, 4}},
        {{{0xDF, 0xFF}, {.CC = 0x0F, .X = 0xBEEF}}, // stx  $ff
         {{.CC = 0x0F, .X = 0xBEEF, .PC = 2}, 5, {{0xFF, 0xBE, 50}, {0x100, 0xEF, 50}}}},
        {{{0xA6, 0x02}, {.X = 0xFFFF, .PC = 0x300}, {{0x0001, 0x77}}}, // ldaa $02,x
         {{.A = 0x77, .X = 0xFFFF, .PC = 0x302}, 5}},
        {{{0xEE, 0x11}, {.X = 0xFFFF}, {{0x10, 0xAB}, {0x11, 0xCD}}}, // ldx  $11,x
         {{.X = 0xABCD, .PC = 2}, 6}},
        {{{0x6F, 0x20}, {.CC = 0x0B, .X = 0x400}, {{0x420, 0x55}}}, // clr  $20,x
         {{.CC = 0x0F, .X = 0x400, .PC = 2}, 7, {{0x420, 0x55, 0}}}},
        {{{0xB7, 0xF8, 0x00}, {.A = 0x80}, {{0xF800, 0x86}}}, // staa $f800
         {{.A = 0x80, .CC = 0x08, .PC = 3}, 5, {{0xF800, 0x86, 0}}}},
        {{{0x7D, 0xF0, 0x00}, {.CC = 0x05}}, // tst  $f000
         {{.CC = 0x04, .PC = 3}, 6, {{0xF000, 0, 50}}}},
        {{{0x7C, 0x00, 0x02}, {}, {{0x0003, 0x55}}}, // inc  $0002, its own address byte
         {{.PC = 3}, 6, {{0x0001, 0x00, 100}, {0x0002, 0x03, 100}, {0x0003, 0x55, 0}}}},
    };
    for (const Program& p : cases)
        p.check();
}
