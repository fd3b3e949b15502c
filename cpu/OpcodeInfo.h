#pragma once

#include "cpu/AddrMode.h"

#include <cstdint>

// What an instruction does. With the register it works on and its addressing mode, this is
// the whole of its execution.
// clang-format off
enum class Op : std::uint8_t {
    Skip, // not executed: one byte, one cycle, nothing else changes
    // On an accumulator, or read-modify-write on the addressed byte when no register is named.
    Neg, Com, Lsr, Ror, Asl, Dec, Inc, Tst, Clr,
    // An accumulator with the addressed byte, or with the other accumulator when inherent.
    Sub, Cmp, Sbc, And, Ld, St, Eor, Adc, Or, Add,
    // (Ld, St, Cmp, Inc and Dec also work 16 bits wide on X or SP.)
    Nop, Tpa, Clc, Cli, Sei,
    Psh, Pul,
    // Only in the complete instruction set.
    Asr, Rol, Bit, Daa, Tap, Clv, Sev, Sec, Ins, Des, Tsx, Txs,
    // Control flow: these load PC themselves.
    Bra, Bhi, Bls, Bcc, Bcs, Bne, Beq, Bpl, Bmi, Jmp, Bsr, Jsr, Rts, Rti,
    Bvc, Bvs, Bge, Blt, Bgt, Ble, Swi, Wai,
};
// clang-format on

enum class Reg : std::uint8_t { None, A, B, X, SP };

// One entry of an opcode table: everything that execution and disassembly need to know about
// one opcode byte.
struct OpcodeInfo {
    const char* mnemonic = nullptr; // lower case, as the disassembler prints it
    Op op = Op::Skip;
    AddrMode mode = AddrMode::Inherent;
    std::uint8_t cycles = 1;
    Reg reg = Reg::None;
    bool listed = false; // the disassembler shows it by name

    constexpr bool implemented() const { return op != Op::Skip; }
    constexpr bool setsPc() const { return op >= Op::Bra; }
    // Bytes, opcode included.
    constexpr std::uint8_t length() const { return instructionLength(mode); }
};
