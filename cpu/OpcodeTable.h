#pragma once

#include "cpu/InstructionSet.h"
#include "cpu/OpcodeInfo.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace opcode_table_detail {

struct Row {
    std::uint8_t opcode;
    const char* mnemonic;
    Op op;
    AddrMode mode;
    std::uint8_t cycles;
    Reg reg = Reg::None;
    bool listed = true;
};

using M = AddrMode;
constexpr Reg A = Reg::A, B = Reg::B, X = Reg::X, SP = Reg::SP;

// The 119 opcodes this processor executes. Every other byte value is skipped as a
// one-byte, one-cycle instruction.
constexpr Row kRows[] = {
    // Inherent
    {0x01, "nop", Op::Nop, M::Inherent, 2},
    {0x07, "tpa", Op::Tpa, M::Inherent, 2},
    {0x08, "inx", Op::Inc, M::Inherent, 4, X},
    {0x09, "dex", Op::Dec, M::Inherent, 4, X},
    {0x0C, "clc", Op::Clc, M::Inherent, 2},
    {0x0E, "cli", Op::Cli, M::Inherent, 2},
    {0x0F, "sei", Op::Sei, M::Inherent, 2},
    {0x10, "sba", Op::Sub, M::Inherent, 2, A},
    {0x16, "tab", Op::Ld, M::Inherent, 2, B},
    {0x17, "tba", Op::Ld, M::Inherent, 2, A},
    {0x1B, "aba", Op::Add, M::Inherent, 2, A},

    // Branches: 4 cycles, taken or not
    {0x20, "bra", Op::Bra, M::Relative, 4},
    {0x22, "bhi", Op::Bhi, M::Relative, 4},
    {0x23, "bls", Op::Bls, M::Relative, 4},
    {0x24, "bcc", Op::Bcc, M::Relative, 4},
    {0x25, "bcs", Op::Bcs, M::Relative, 4},
    {0x26, "bne", Op::Bne, M::Relative, 4},
    {0x27, "beq", Op::Beq, M::Relative, 4},
    {0x2A, "bpl", Op::Bpl, M::Relative, 4},
    {0x2B, "bmi", Op::Bmi, M::Relative, 4},

    // Stack and returns
    {0x32, "pula", Op::Pul, M::Inherent, 4, A},
    {0x36, "psha", Op::Psh, M::Inherent, 4, A},
    {0x39, "rts", Op::Rts, M::Inherent, 5},
    {0x3B, "rti", Op::Rti, M::Inherent, 10},

    // Accumulator A
    {0x40, "nega", Op::Neg, M::Inherent, 2, A},
    {0x43, "coma", Op::Com, M::Inherent, 2, A},
    {0x44, "lsra", Op::Lsr, M::Inherent, 2, A},
    {0x46, "rora", Op::Ror, M::Inherent, 2, A},
    {0x48, "asla", Op::Asl, M::Inherent, 2, A},
    {0x4A, "deca", Op::Dec, M::Inherent, 2, A},
    {0x4C, "inca", Op::Inc, M::Inherent, 2, A},
    {0x4D, "tsta", Op::Tst, M::Inherent, 2, A},
    {0x4F, "clra", Op::Clr, M::Inherent, 2, A},

    // Accumulator B
    {0x50, "negb", Op::Neg, M::Inherent, 2, B},
    {0x53, "comb", Op::Com, M::Inherent, 2, B},
    {0x54, "lsrb", Op::Lsr, M::Inherent, 2, B},
    {0x56, "rorb", Op::Ror, M::Inherent, 2, B},
    {0x58, "aslb", Op::Asl, M::Inherent, 2, B},
    {0x5A, "decb", Op::Dec, M::Inherent, 2, B},
    {0x5C, "incb", Op::Inc, M::Inherent, 2, B},
    {0x5D, "tstb", Op::Tst, M::Inherent, 2, B},
    {0x5F, "clrb", Op::Clr, M::Inherent, 2, B},

    // Memory read-modify-write, indexed
    {0x60, "neg", Op::Neg, M::Indexed, 7},
    {0x66, "ror", Op::Ror, M::Indexed, 7},
    {0x6A, "dec", Op::Dec, M::Indexed, 7},
    {0x6E, "jmp", Op::Jmp, M::Indexed, 4},
    {0x6F, "clr", Op::Clr, M::Indexed, 7},

    // Memory read-modify-write, extended
    {0x70, "neg", Op::Neg, M::Extended, 6},
    {0x73, "com", Op::Com, M::Extended, 6},
    {0x74, "lsr", Op::Lsr, M::Extended, 6},
    {0x76, "ror", Op::Ror, M::Extended, 6},
    {0x7A, "dec", Op::Dec, M::Extended, 6},
    {0x7C, "inc", Op::Inc, M::Extended, 6},
    {0x7D, "tst", Op::Tst, M::Extended, 6},
    {0x7E, "jmp", Op::Jmp, M::Extended, 3},
    {0x7F, "clr", Op::Clr, M::Extended, 6},

    // Accumulator A with memory, immediate
    {0x80, "suba", Op::Sub, M::Immediate8, 2, A},
    {0x81, "cmpa", Op::Cmp, M::Immediate8, 2, A},
    {0x82, "sbca", Op::Sbc, M::Immediate8, 2, A},
    {0x84, "anda", Op::And, M::Immediate8, 2, A},
    {0x86, "ldaa", Op::Ld, M::Immediate8, 2, A},
    {0x88, "eora", Op::Eor, M::Immediate8, 2, A},
    {0x89, "adca", Op::Adc, M::Immediate8, 2, A},
    {0x8B, "adda", Op::Add, M::Immediate8, 2, A},
    {0x8C, "cpx", Op::Cmp, M::Immediate16, 3, X},
    {0x8D, "bsr", Op::Bsr, M::Relative, 8},
    {0x8E, "lds", Op::Ld, M::Immediate16, 3, SP},

    // Accumulator A with memory, direct
    {0x90, "suba", Op::Sub, M::Direct, 3, A},
    {0x91, "cmpa", Op::Cmp, M::Direct, 3, A},
    {0x92, "sbca", Op::Sbc, M::Direct, 3, A},
    {0x94, "anda", Op::And, M::Direct, 3, A},
    {0x96, "ldaa", Op::Ld, M::Direct, 3, A},
    {0x97, "staa", Op::St, M::Direct, 4, A},
    {0x98, "eora", Op::Eor, M::Direct, 3, A},
    {0x99, "adca", Op::Adc, M::Direct, 3, A},
    {0x9A, "ora", Op::Or, M::Direct, 3, A}, // three letters, unlike every other A-register mnemonic
    {0x9B, "adda", Op::Add, M::Direct, 3, A},
    {0x9C, "cpx", Op::Cmp, M::Direct, 4, X},

    // Accumulator A with memory, indexed
    {0xA2, "sbca", Op::Sbc, M::Indexed, 5, A},
    {0xA4, "anda", Op::And, M::Indexed, 5, A},
    {0xA6, "ldaa", Op::Ld, M::Indexed, 5, A},
    {0xA7, "staa", Op::St, M::Indexed, 6, A},
    {0xA8, "eora", Op::Eor, M::Indexed, 5, A},
    {0xAB, "adda", Op::Add, M::Indexed, 5, A},
    {0xAD, "jsr", Op::Jsr, M::Indexed, 8},

    // Accumulator A with memory, extended
    {0xB2, "sbca", Op::Sbc, M::Extended, 4, A},
    {0xB4, "anda", Op::And, M::Extended, 4, A},
    {0xB6, "ldaa", Op::Ld, M::Extended, 4, A},
    {0xB7, "staa", Op::St, M::Extended, 5, A},
    {0xB8, "eora", Op::Eor, M::Extended, 4, A},
    {0xBD, "jsr", Op::Jsr, M::Extended, 9},

    // Accumulator B with memory, immediate
    {0xC1, "cmpb", Op::Cmp, M::Immediate8, 2, B},
    {0xC2, "sbcb", Op::Sbc, M::Immediate8, 2, B},
    // Executed, but the disassembler does not know it: it shows "? op: c4" and one byte.
    {0xC4, "andb", Op::And, M::Immediate8, 2, B, false},
    {0xC6, "ldab", Op::Ld, M::Immediate8, 2, B},
    {0xC8, "eorb", Op::Eor, M::Immediate8, 2, B},
    {0xCB, "addb", Op::Add, M::Immediate8, 2, B},
    {0xCE, "ldx", Op::Ld, M::Immediate16, 3, X},

    // Accumulator B with memory, direct
    {0xD0, "subb", Op::Sub, M::Direct, 3, B},
    {0xD1, "cmpb", Op::Cmp, M::Direct, 3, B},
    {0xD2, "sbcb", Op::Sbc, M::Direct, 3, B},
    {0xD4, "andb", Op::And, M::Direct, 3, B},
    {0xD6, "ldab", Op::Ld, M::Direct, 3, B},
    {0xD7, "stab", Op::St, M::Direct, 4, B},
    {0xD8, "eorb", Op::Eor, M::Direct, 3, B},
    {0xDB, "addb", Op::Add, M::Direct, 3, B},
    {0xDE, "ldx", Op::Ld, M::Direct, 4, X},
    {0xDF, "stx", Op::St, M::Direct, 5, X},

    // Accumulator B with memory, indexed
    {0xE2, "sbcb", Op::Sbc, M::Indexed, 5, B},
    {0xE4, "andb", Op::And, M::Indexed, 5, B},
    {0xE6, "ldab", Op::Ld, M::Indexed, 5, B},
    {0xE7, "stab", Op::St, M::Indexed, 6, B},
    {0xE8, "eorb", Op::Eor, M::Indexed, 5, B},
    {0xEE, "ldx", Op::Ld, M::Indexed, 6, X},

    // Accumulator B with memory, extended
    {0xF2, "sbcb", Op::Sbc, M::Extended, 4, B},
    {0xF4, "andb", Op::And, M::Extended, 4, B},
    {0xF6, "ldab", Op::Ld, M::Extended, 4, B},
    {0xF7, "stab", Op::St, M::Extended, 5, B},
    {0xF8, "eorb", Op::Eor, M::Extended, 4, B},
};

// The 256-entry table, indexed by opcode byte, that a list of rows describes.
template <std::size_t N> constexpr std::array<OpcodeInfo, 256> build(const Row (&rows)[N]) {
    std::array<OpcodeInfo, 256> table{};
    for (const Row& r : rows)
        table[r.opcode] = {r.mnemonic, r.op, r.mode, r.cycles, r.reg, r.listed};
    return table;
}

constexpr std::size_t count(const std::array<OpcodeInfo, 256>& table,
                            bool (*pred)(const OpcodeInfo&)) {
    std::size_t n = 0;
    for (const OpcodeInfo& info : table)
        n += pred(info) ? 1 : 0;
    return n;
}

template <std::size_t N> constexpr bool ascendAndUnique(const Row (&rows)[N]) {
    for (std::size_t i = 1; i < N; ++i)
        if (rows[i].opcode <= rows[i - 1].opcode) return false;
    return true;
}

// The opcodes the complete MC6800 adds to the board's 119. The board's rows keep their
// mode, register and cycles; the complete set lists them all by name.
constexpr Row kCompleteExtraRows[] = {
    {0x06, "tap", Op::Tap, M::Inherent, 2},       {0x0A, "clv", Op::Clv, M::Inherent, 2},
    {0x0B, "sev", Op::Sev, M::Inherent, 2},       {0x0D, "sec", Op::Sec, M::Inherent, 2},
    {0x11, "cba", Op::Cmp, M::Inherent, 2, A},    {0x19, "daa", Op::Daa, M::Inherent, 2, A},
    {0x28, "bvc", Op::Bvc, M::Relative, 4},       {0x29, "bvs", Op::Bvs, M::Relative, 4},
    {0x2C, "bge", Op::Bge, M::Relative, 4},       {0x2D, "blt", Op::Blt, M::Relative, 4},
    {0x2E, "bgt", Op::Bgt, M::Relative, 4},       {0x2F, "ble", Op::Ble, M::Relative, 4},
    {0x30, "tsx", Op::Tsx, M::Inherent, 4},       {0x31, "ins", Op::Ins, M::Inherent, 4},
    {0x33, "pulb", Op::Pul, M::Inherent, 4, B},   {0x34, "des", Op::Des, M::Inherent, 4},
    {0x35, "txs", Op::Txs, M::Inherent, 4},       {0x37, "pshb", Op::Psh, M::Inherent, 4, B},
    {0x3E, "wai", Op::Wai, M::Inherent, 9},       {0x3F, "swi", Op::Swi, M::Inherent, 12},
    {0x47, "asra", Op::Asr, M::Inherent, 2, A},   {0x49, "rola", Op::Rol, M::Inherent, 2, A},
    {0x57, "asrb", Op::Asr, M::Inherent, 2, B},   {0x59, "rolb", Op::Rol, M::Inherent, 2, B},
    {0x63, "com", Op::Com, M::Indexed, 7},        {0x64, "lsr", Op::Lsr, M::Indexed, 7},
    {0x67, "asr", Op::Asr, M::Indexed, 7},        {0x68, "asl", Op::Asl, M::Indexed, 7},
    {0x69, "rol", Op::Rol, M::Indexed, 7},        {0x6C, "inc", Op::Inc, M::Indexed, 7},
    {0x6D, "tst", Op::Tst, M::Indexed, 7},        {0x77, "asr", Op::Asr, M::Extended, 6},
    {0x78, "asl", Op::Asl, M::Extended, 6},       {0x79, "rol", Op::Rol, M::Extended, 6},
    {0x85, "bita", Op::Bit, M::Immediate8, 2, A}, {0x8A, "oraa", Op::Or, M::Immediate8, 2, A},
    {0x95, "bita", Op::Bit, M::Direct, 3, A},     {0x9A, "oraa", Op::Or, M::Direct, 3, A},
    {0x9E, "lds", Op::Ld, M::Direct, 4, SP},      {0x9F, "sts", Op::St, M::Direct, 5, SP},
    {0xA0, "suba", Op::Sub, M::Indexed, 5, A},    {0xA1, "cmpa", Op::Cmp, M::Indexed, 5, A},
    {0xA5, "bita", Op::Bit, M::Indexed, 5, A},    {0xA9, "adca", Op::Adc, M::Indexed, 5, A},
    {0xAA, "oraa", Op::Or, M::Indexed, 5, A},     {0xAC, "cpx", Op::Cmp, M::Indexed, 6, X},
    {0xAE, "lds", Op::Ld, M::Indexed, 6, SP},     {0xAF, "sts", Op::St, M::Indexed, 7, SP},
    {0xB0, "suba", Op::Sub, M::Extended, 4, A},   {0xB1, "cmpa", Op::Cmp, M::Extended, 4, A},
    {0xB5, "bita", Op::Bit, M::Extended, 4, A},   {0xB9, "adca", Op::Adc, M::Extended, 4, A},
    {0xBA, "oraa", Op::Or, M::Extended, 4, A},    {0xBB, "adda", Op::Add, M::Extended, 4, A},
    {0xBC, "cpx", Op::Cmp, M::Extended, 5, X},    {0xBE, "lds", Op::Ld, M::Extended, 5, SP},
    {0xBF, "sts", Op::St, M::Extended, 6, SP},    {0xC0, "subb", Op::Sub, M::Immediate8, 2, B},
    {0xC5, "bitb", Op::Bit, M::Immediate8, 2, B}, {0xC9, "adcb", Op::Adc, M::Immediate8, 2, B},
    {0xCA, "orab", Op::Or, M::Immediate8, 2, B},  {0xD5, "bitb", Op::Bit, M::Direct, 3, B},
    {0xD9, "adcb", Op::Adc, M::Direct, 3, B},     {0xDA, "orab", Op::Or, M::Direct, 3, B},
    {0xE0, "subb", Op::Sub, M::Indexed, 5, B},    {0xE1, "cmpb", Op::Cmp, M::Indexed, 5, B},
    {0xE5, "bitb", Op::Bit, M::Indexed, 5, B},    {0xE9, "adcb", Op::Adc, M::Indexed, 5, B},
    {0xEA, "orab", Op::Or, M::Indexed, 5, B},     {0xEB, "addb", Op::Add, M::Indexed, 5, B},
    {0xEF, "stx", Op::St, M::Indexed, 7, X},      {0xF0, "subb", Op::Sub, M::Extended, 4, B},
    {0xF1, "cmpb", Op::Cmp, M::Extended, 4, B},   {0xF5, "bitb", Op::Bit, M::Extended, 4, B},
    {0xF9, "adcb", Op::Adc, M::Extended, 4, B},   {0xFA, "orab", Op::Or, M::Extended, 4, B},
    {0xFB, "addb", Op::Add, M::Extended, 4, B},   {0xFE, "ldx", Op::Ld, M::Extended, 5, X},
    {0xFF, "stx", Op::St, M::Extended, 6, X},
};

// The board's rows, every one listed by name, with the complete set's rows laid over them.
template <std::size_t N, std::size_t E>
constexpr std::array<OpcodeInfo, 256> buildComplete(const Row (&rows)[N], const Row (&extra)[E]) {
    std::array<OpcodeInfo, 256> table = build(rows);
    for (OpcodeInfo& info : table)
        if (info.implemented()) info.listed = true;
    for (const Row& r : extra)
        table[r.opcode] = {r.mnemonic, r.op, r.mode, r.cycles, r.reg, true};
    return table;
}

} // namespace opcode_table_detail

// The board's instruction set, indexed by opcode byte.
inline constexpr std::array<OpcodeInfo, 256> opcodeTable =
    opcode_table_detail::build(opcode_table_detail::kRows);

// The complete MC6800 instruction set, indexed by opcode byte.
inline constexpr std::array<OpcodeInfo, 256> completeOpcodeTable =
    opcode_table_detail::buildComplete(opcode_table_detail::kRows,
                                       opcode_table_detail::kCompleteExtraRows);

// The table that set executes and lists by: opcodeTableFor(set)[opcode] describes a byte.
constexpr const std::array<OpcodeInfo, 256>& opcodeTableFor(InstructionSet set) {
    return set == InstructionSet::Complete ? completeOpcodeTable : opcodeTable;
}

static_assert(opcode_table_detail::ascendAndUnique(opcode_table_detail::kCompleteExtraRows));
static_assert(opcode_table_detail::count(completeOpcodeTable, [](const OpcodeInfo& i) {
                  return i.implemented() && i.listed;
              }) == 197);
static_assert(opcode_table_detail::ascendAndUnique(opcode_table_detail::kRows),
              "one row per opcode, in order");
static_assert(opcode_table_detail::count(opcodeTable, [](const OpcodeInfo& i) {
                  return i.implemented();
              }) == 119);
static_assert(opcode_table_detail::count(opcodeTable,
                                         [](const OpcodeInfo& i) { return i.listed; }) == 118);
static_assert(opcode_table_detail::count(opcodeTable,
                                         [](const OpcodeInfo& i) { return i.setsPc(); }) == 16);
static_assert(!opcodeTable[0x00].implemented() && !opcodeTable[0xFF].implemented());
