#include "tests/support/Program.h"

#include <gtest/gtest.h>

// Every branch under every combination of N, Z, V and C: 4 cycles either way, no flag changed,
// and the offset byte read (bumped) only when taken, which is when (CC & mask) == value, or for
// bls when not.
TEST(Branches, EachTestsItsCondition) {
    const std::uint8_t branches[][3] = {
        {0x20, 0x00, 0x00}, {0x22, 0x05, 0x00}, {0x23, 0x05, 0x00}, // bra, bhi, bls
        {0x24, 0x01, 0x00}, {0x25, 0x01, 0x01}, {0x26, 0x04, 0x00}, // bcc, bcs, bne
        {0x27, 0x04, 0x04}, {0x2A, 0x08, 0x00}, {0x2B, 0x08, 0x08}, // beq, bpl, bmi
    };
    for (const auto& [opcode, mask, value] : branches) {
        for (std::uint8_t cc = 0; cc < 16; ++cc) {
            const bool taken = ((cc & mask) == value) != (opcode == 0x23);
            const std::uint16_t pc = taken ? 0x0212 : 0x0202;
            Program{{{opcode, 0x10}, {.CC = cc, .PC = 0x0200}},
                    {{.CC = cc, .PC = pc}, 4, {{0x0201, 0x10, taken ? 50u : 0u}}}}
                .check();
        }
    }
}

// Branch offsets, jumps, calls and returns, and the stack at the edges of the write window: a
// return address is one 16-bit write that lands whole or not at all, and SP moves either way.
TEST(ControlFlow, HandAssembledCases) {
    const Program cases[] = {
        {{{0x27, 0x80}, {.CC = 0x04, .PC = 0xF900}}, {{.CC = 0x04, .PC = 0xF882}, 4}}, // beq  *-$7e
        {{{0x20, 0x7F}, {.PC = 0xFFF0}}, {{.PC = 0x0071}, 4}},                         // bra  *+$81
        {{{0x20, 0xFE}, {.PC = 0xF800}, {}, 3}, {{.PC = 0xF800}, 12}},                 // bra  *
        {{{0x6E, 0xFF}, {.CC = 0x2F, .X = 0xFF80}},                                    // jmp  $ff,x
         {{.CC = 0x2F, .X = 0xFF80, .PC = 0x7F}, 4}},
        {{{0x7E, 0xF8, 0x01}, {.PC = 0xF800}}, // jmp  $f801
         {{.PC = 0xF801}, 3, {{0xF801, 0xF8, 50}}}},
        {{{0x8D, 0x10}, {.SP = 0x7F, .PC = 0xF800}}, // bsr  *+$12
         {{.SP = 0x7D, .PC = 0xF812}, 8, {{0x7E, 0xF8, 50}, {0x7F, 0x02, 50}}}},
        {{{0x39}, {.SP = 0x7D, .PC = 0xF812}, {{0x7E, 0xF8}, {0x7F, 0x02}}}, // rts
         {{.SP = 0x7F, .PC = 0xF802}, 5, {{0x7E, 0xF8, 50}, {0x7F, 0x02, 50}}}},
        {{{0xAD, 0x05}, {.X = 0xFA00, .SP = 0x7F, .PC = 0xF900}}, // jsr  $05,x
         {{.X = 0xFA00, .SP = 0x7D, .PC = 0xFA05}, 8, {{0x7E, 0xF9, 50}, {0x7F, 0x02, 50}}}},
        {{{0xBD, 0xFB, 0x00}, {.SP = 0x7F, .PC = 0xF900}}, // jsr  $fb00
         {{.SP = 0x7D, .PC = 0xFB00}, 9, {{0x7E, 0xF9, 50}, {0x7F, 0x03, 50}, {0xF902, 0, 50}}}},
        {{{0x8D, 0x00}, {.SP = 0x0411, .PC = 0xF800}}, // bsr  *+2
         {{.SP = 0x040F, .PC = 0xF802}, 8, {{0x0410, 0x00, 0}, {0x0411, 0x00, 0}}}},
        {{{0x8D, 0x00}, {.SP = 0x0410, .PC = 0xF800}}, // bsr  *+2
         {{.SP = 0x040E, .PC = 0xF802}, 8, {{0x040F, 0xF8, 50}, {0x0410, 0x02, 50}}}},
        {{{0x36, 0x36, 0x32}, {.A = 0x42, .PC = 0xF800}, {{0xFFFF, 0x99}}, 3}, // psha psha pula
         {{.A = 0x99, .SP = 0xFFFF, .PC = 0xF803}, 12, {{0x0000, 0x42, 50}, {0xFFFF, 0x99, 50}}}},
    };
    for (const Program& p : cases)
        p.check();
}
