#pragma once

#include "cpu/OpcodeInfo.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace opcode_table_detail {

struct Row {
    std::uint8_t opcode;
    const char* mnemonic;
    AddrMode mode;
    std::uint8_t cycles;
    bool setsPc = false;
    bool listed = true;
};

using M = AddrMode;
constexpr bool kFlow = true;

// The 119 opcodes this processor executes. Every other byte value is skipped as a
// one-byte, one-cycle instruction.
constexpr Row kRows[] = {
    // Inherent
    {0x01, "nop", M::Inherent, 2},
    {0x07, "tpa", M::Inherent, 2},
    {0x08, "inx", M::Inherent, 4},
    {0x09, "dex", M::Inherent, 4},
    {0x0C, "clc", M::Inherent, 2},
    {0x0E, "cli", M::Inherent, 2},
    {0x0F, "sei", M::Inherent, 2},
    {0x10, "sba", M::Inherent, 2},
    {0x16, "tab", M::Inherent, 2},
    {0x17, "tba", M::Inherent, 2},
    {0x1B, "aba", M::Inherent, 2},

    // Branches: 4 cycles, taken or not
    {0x20, "bra", M::Relative, 4, kFlow},
    {0x22, "bhi", M::Relative, 4, kFlow},
    {0x23, "bls", M::Relative, 4, kFlow},
    {0x24, "bcc", M::Relative, 4, kFlow},
    {0x25, "bcs", M::Relative, 4, kFlow},
    {0x26, "bne", M::Relative, 4, kFlow},
    {0x27, "beq", M::Relative, 4, kFlow},
    {0x2A, "bpl", M::Relative, 4, kFlow},
    {0x2B, "bmi", M::Relative, 4, kFlow},

    // Stack and returns
    {0x32, "pula", M::Inherent, 4},
    {0x36, "psha", M::Inherent, 4},
    {0x39, "rts", M::Inherent, 5, kFlow},
    {0x3B, "rti", M::Inherent, 10, kFlow},

    // Accumulator A
    {0x40, "nega", M::Inherent, 2},
    {0x43, "coma", M::Inherent, 2},
    {0x44, "lsra", M::Inherent, 2},
    {0x46, "rora", M::Inherent, 2},
    {0x48, "asla", M::Inherent, 2},
    {0x4A, "deca", M::Inherent, 2},
    {0x4C, "inca", M::Inherent, 2},
    {0x4D, "tsta", M::Inherent, 2},
    {0x4F, "clra", M::Inherent, 2},

    // Accumulator B
    {0x50, "negb", M::Inherent, 2},
    {0x53, "comb", M::Inherent, 2},
    {0x54, "lsrb", M::Inherent, 2},
    {0x56, "rorb", M::Inherent, 2},
    {0x58, "aslb", M::Inherent, 2},
    {0x5A, "decb", M::Inherent, 2},
    {0x5C, "incb", M::Inherent, 2},
    {0x5D, "tstb", M::Inherent, 2},
    {0x5F, "clrb", M::Inherent, 2},

    // Memory read-modify-write, indexed
    {0x60, "neg", M::Indexed, 7},
    {0x66, "ror", M::Indexed, 7},
    {0x6A, "dec", M::Indexed, 7},
    {0x6E, "jmp", M::Indexed, 4, kFlow},
    {0x6F, "clr", M::Indexed, 7},

    // Memory read-modify-write, extended
    {0x70, "neg", M::Extended, 6},
    {0x73, "com", M::Extended, 6},
    {0x74, "lsr", M::Extended, 6},
    {0x76, "ror", M::Extended, 6},
    {0x7A, "dec", M::Extended, 6},
    {0x7C, "inc", M::Extended, 6},
    {0x7D, "tst", M::Extended, 6},
    {0x7E, "jmp", M::Extended, 3, kFlow},
    {0x7F, "clr", M::Extended, 6},

    // Accumulator A with memory, immediate
    {0x80, "suba", M::Immediate8, 2},
    {0x81, "cmpa", M::Immediate8, 2},
    {0x82, "sbca", M::Immediate8, 2},
    {0x84, "anda", M::Immediate8, 2},
    {0x86, "ldaa", M::Immediate8, 2},
    {0x88, "eora", M::Immediate8, 2},
    {0x89, "adca", M::Immediate8, 2},
    {0x8B, "adda", M::Immediate8, 2},
    {0x8C, "cpx", M::Immediate16, 3},
    {0x8D, "bsr", M::Relative, 8, kFlow},
    {0x8E, "lds", M::Immediate16, 3},

    // Accumulator A with memory, direct
    {0x90, "suba", M::Direct, 3},
    {0x91, "cmpa", M::Direct, 3},
    {0x92, "sbca", M::Direct, 3},
    {0x94, "anda", M::Direct, 3},
    {0x96, "ldaa", M::Direct, 3},
    {0x97, "staa", M::Direct, 4},
    {0x98, "eora", M::Direct, 3},
    {0x99, "adca", M::Direct, 3},
    {0x9A, "ora", M::Direct, 3}, // three letters, unlike every other A-register mnemonic
    {0x9B, "adda", M::Direct, 3},
    {0x9C, "cpx", M::Direct, 4},

    // Accumulator A with memory, indexed
    {0xA2, "sbca", M::Indexed, 5},
    {0xA4, "anda", M::Indexed, 5},
    {0xA6, "ldaa", M::Indexed, 5},
    {0xA7, "staa", M::Indexed, 6},
    {0xA8, "eora", M::Indexed, 5},
    {0xAB, "adda", M::Indexed, 5},
    {0xAD, "jsr", M::Indexed, 8, kFlow},

    // Accumulator A with memory, extended
    {0xB2, "sbca", M::Extended, 4},
    {0xB4, "anda", M::Extended, 4},
    {0xB6, "ldaa", M::Extended, 4},
    {0xB7, "staa", M::Extended, 5},
    {0xB8, "eora", M::Extended, 4},
    {0xBD, "jsr", M::Extended, 9, kFlow},

    // Accumulator B with memory, immediate
    {0xC1, "cmpb", M::Immediate8, 2},
    {0xC2, "sbcb", M::Immediate8, 2},
    // Executed, but the disassembler does not know it: it shows "? op: c4" and one byte.
    {0xC4, "andb", M::Immediate8, 2, false, false},
    {0xC6, "ldab", M::Immediate8, 2},
    {0xC8, "eorb", M::Immediate8, 2},
    {0xCB, "addb", M::Immediate8, 2},
    {0xCE, "ldx", M::Immediate16, 3},

    // Accumulator B with memory, direct
    {0xD0, "subb", M::Direct, 3},
    {0xD1, "cmpb", M::Direct, 3},
    {0xD2, "sbcb", M::Direct, 3},
    {0xD4, "andb", M::Direct, 3},
    {0xD6, "ldab", M::Direct, 3},
    {0xD7, "stab", M::Direct, 4},
    {0xD8, "eorb", M::Direct, 3},
    {0xDB, "addb", M::Direct, 3},
    {0xDE, "ldx", M::Direct, 4},
    {0xDF, "stx", M::Direct, 5},

    // Accumulator B with memory, indexed
    {0xE2, "sbcb", M::Indexed, 5},
    {0xE4, "andb", M::Indexed, 5},
    {0xE6, "ldab", M::Indexed, 5},
    {0xE7, "stab", M::Indexed, 6},
    {0xE8, "eorb", M::Indexed, 5},
    {0xEE, "ldx", M::Indexed, 6},

    // Accumulator B with memory, extended
    {0xF2, "sbcb", M::Extended, 4},
    {0xF4, "andb", M::Extended, 4},
    {0xF6, "ldab", M::Extended, 4},
    {0xF7, "stab", M::Extended, 5},
    {0xF8, "eorb", M::Extended, 4},
};

constexpr std::array<OpcodeInfo, 256> build() {
    std::array<OpcodeInfo, 256> table{};
    for (const Row& row : kRows) {
        OpcodeInfo& info = table[row.opcode];
        info.mnemonic = row.mnemonic;
        info.mode = row.mode;
        info.length = instructionLength(row.mode);
        info.cycles = row.cycles;
        info.listed = row.listed;
        info.setsPc = row.setsPc;
    }
    return table;
}

constexpr std::size_t count(const std::array<OpcodeInfo, 256>& table, bool (*pred)(const OpcodeInfo&)) {
    std::size_t n = 0;
    for (const OpcodeInfo& info : table)
        n += pred(info) ? 1 : 0;
    return n;
}

constexpr bool rowsAscendAndUnique() {
    for (std::size_t i = 1; i < std::size(kRows); ++i)
        if (kRows[i].opcode <= kRows[i - 1].opcode)
            return false;
    return true;
}

} // namespace opcode_table_detail

// Indexed by opcode byte.
inline constexpr std::array<OpcodeInfo, 256> opcodeTable = opcode_table_detail::build();

static_assert(opcode_table_detail::rowsAscendAndUnique(), "one row per opcode, in order");
static_assert(opcode_table_detail::count(opcodeTable, [](const OpcodeInfo& i) { return i.implemented(); }) == 119);
static_assert(opcode_table_detail::count(opcodeTable, [](const OpcodeInfo& i) { return i.listed; }) == 118);
static_assert(opcode_table_detail::count(opcodeTable, [](const OpcodeInfo& i) { return i.setsPc; }) == 16);
static_assert(!opcodeTable[0x00].implemented() && !opcodeTable[0xFF].implemented());
