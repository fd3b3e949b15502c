#pragma once

#include "cpu/Mc6802.h"
#include "cpu/OpcodeInfo.h"
#include "cpu/StopGate.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

// Instruction execution generated from an opcode table: addressing modes, the board's flag
// rules, and the 256-way dispatch. Each instruction set instantiates it in its own source file,
// so that one set's handlers do not crowd the other's out of the compiler's inlining.
namespace execution {

using u8 = std::uint8_t;
using u16 = std::uint16_t;

constexpr u16 plus(u16 address, int n) {
    return static_cast<u16>(address + n);
}

// Operand access by addressing mode. Every byte goes through the bus, so every operand
// byte fetched gets its heat bump.
template <AddrMode Mode> [[gnu::always_inline]] inline u16 address(Mc6802& cpu) {
    if constexpr (Mode == AddrMode::Direct) {
        return cpu.read8(plus(cpu.PC, 1));
    } else if constexpr (Mode == AddrMode::Indexed) {
        return plus(cpu.X, cpu.read8(plus(cpu.PC, 1)));
    } else {
        static_assert(Mode == AddrMode::Extended);
        return cpu.read16(plus(cpu.PC, 1));
    }
}

template <AddrMode Mode> [[gnu::always_inline]] inline u8 operand8(Mc6802& cpu) {
    if constexpr (Mode == AddrMode::Immediate8)
        return cpu.read8(plus(cpu.PC, 1));
    else
        return cpu.read8(address<Mode>(cpu));
}

template <AddrMode Mode> [[gnu::always_inline]] inline u16 operand16(Mc6802& cpu) {
    if constexpr (Mode == AddrMode::Immediate16)
        return cpu.read16(plus(cpu.PC, 1));
    else
        return cpu.read16(address<Mode>(cpu));
}

// The board's flag rules: each operation through its flag operation of Mc6802. r is the
// register or memory byte worked on, m the operand.
struct BoardRules {
    template <Op O> [[gnu::always_inline]] static u8 apply8(Mc6802& cpu, u8 r, u8 m) {
        switch (O) {
        case Op::Sub:
        case Op::Cmp: return cpu.sub8(r, m);
        case Op::Sbc: return cpu.sbc8(r, m);
        case Op::And: return cpu.and8(r, m);
        case Op::Ld: return cpu.load8(m);
        case Op::St: return cpu.store8(r);
        case Op::Eor: return cpu.eor8(r, m);
        case Op::Adc: return cpu.adc8(r, m);
        case Op::Or: return cpu.or8(r, m);
        case Op::Add: return cpu.add8(r, m);
        case Op::Neg: return cpu.neg8(r);
        case Op::Com: return cpu.com8(r);
        case Op::Lsr: return cpu.lsr8(r);
        case Op::Ror: return cpu.ror8(r);
        case Op::Asl: return cpu.asl8(r);
        case Op::Dec: return cpu.dec8(r);
        case Op::Inc: return cpu.inc8(r);
        case Op::Clr: return cpu.clear8();
        case Op::Tst: cpu.sub8(r, 0); return r; // the byte itself stays as it was
        default: static_assert(O >= Op::Neg && O <= Op::Add); return r;
        }
    }
    template <Op O> [[gnu::always_inline]] static u16 apply16(Mc6802& cpu, u16 r, u16 m) {
        switch (O) {
        case Op::Ld: return cpu.load16(m);
        case Op::Inc: return cpu.load16(static_cast<u16>(r + 1));
        case Op::Dec: return cpu.load16(static_cast<u16>(r - 1));
        case Op::Cmp: cpu.compare16(r, m); return r;
        default:
            static_assert(O == Op::Ld || O == Op::Inc || O == Op::Dec || O == Op::Cmp);
            return r;
        }
    }
};

template <Op O> constexpr bool branchTaken(u8 cc) {
    const bool c = cc & Mc6802::flagC, z = cc & Mc6802::flagZ, n = cc & Mc6802::flagN;
    const bool v = cc & Mc6802::flagV;
    switch (O) {
    case Op::Bvc: return !v;
    case Op::Bvs: return v;
    case Op::Bge: return n == v;
    case Op::Blt: return n != v;
    case Op::Bgt: return !z && n == v;
    case Op::Ble: return z || n != v;
    case Op::Bhi: return !c && !z;
    case Op::Bls: return c || z;
    case Op::Bcc: return !c;
    case Op::Bcs: return c;
    case Op::Bne: return !z;
    case Op::Beq: return z;
    case Op::Bpl: return !n;
    case Op::Bmi: return n;
    default: return true; // Bra
    }
}

// Pushes a return address as one 16-bit write: it lands only if both bytes fit the window.
[[gnu::always_inline]] inline void pushReturn(Mc6802& cpu, u16 address) {
    cpu.SP = plus(cpu.SP, -1);
    cpu.write16(cpu.SP, address);
    cpu.SP = plus(cpu.SP, -1);
}

// On an accumulator: unary operations, the other accumulator as operand (inherent), or
// the addressed byte.
template <typename Set, Op O, AddrMode Mode, Reg R>
[[gnu::always_inline]] inline void onAccumulator(Mc6802& cpu) {
    u8& acc = R == Reg::A ? cpu.A : cpu.B;
    if constexpr (O == Op::Psh) {
        cpu.write8(cpu.SP, acc);
        cpu.SP = plus(cpu.SP, -1);
    } else if constexpr (O == Op::Pul) {
        cpu.SP = plus(cpu.SP, 1);
        acc = cpu.read8(cpu.SP);
    } else if constexpr (O == Op::Daa) {
        acc = Set::template apply8<O>(cpu, acc, 0);
    } else if constexpr (O == Op::St) { // the flags change even when the write is dropped
        const u16 target = address<Mode>(cpu);
        cpu.write8(target, Set::template apply8<O>(cpu, acc, 0));
    } else if constexpr (Mode == AddrMode::Inherent) {
        const u8 other = R == Reg::A ? cpu.B : cpu.A;
        const u8 result = Set::template apply8<O>(cpu, acc, other);
        if constexpr (O != Op::Cmp) acc = result; // CBA compares
    } else {
        const u8 result = Set::template apply8<O>(cpu, acc, operand8<Mode>(cpu));
        if constexpr (O != Op::Cmp && O != Op::Bit) acc = result;
    }
}

// On X or SP, 16 bits wide.
template <typename Set, Op O, AddrMode Mode, Reg R>
[[gnu::always_inline]] inline void onIndex(Mc6802& cpu) {
    u16& reg = R == Reg::X ? cpu.X : cpu.SP;
    if constexpr (O == Op::St) {
        const u16 target = address<Mode>(cpu);
        Set::store16(cpu, reg);
        cpu.write16(target, reg);
    } else if constexpr (Mode == AddrMode::Inherent)
        reg = Set::template apply16<O>(cpu, reg, 0);
    else
        reg = Set::template apply16<O>(cpu, reg, operand16<Mode>(cpu));
}

// Stacks PC, X, A, B and cc, the CC byte as the set reads it: the interrupt entry, SWI and WAI.
[[gnu::always_inline]] inline void pushFrame(Mc6802& cpu, u16 pc, u8 cc) {
    const u16 s = cpu.SP;
    cpu.write16(plus(s, -1), pc);
    cpu.write16(plus(s, -3), cpu.X);
    cpu.write8(plus(s, -4), cpu.A);
    cpu.write8(plus(s, -5), cpu.B);
    cpu.write8(plus(s, -6), cc);
    cpu.SP = plus(s, -7);
}

// Read-modify-write on the addressed byte. CLR never reads its target. The extended forms
// fetch their address bytes again before the write (a second heat bump on each); the
// indexed forms fetch the offset once.
template <typename Set, Op O, AddrMode Mode>
[[gnu::always_inline]] inline void onMemory(Mc6802& cpu) {
    const u16 target = address<Mode>(cpu);
    if constexpr (O == Op::Clr) {
        cpu.write8(target, Set::template apply8<O>(cpu, 0, 0));
    } else {
        const u8 result = Set::template apply8<O>(cpu, cpu.read8(target), 0);
        cpu.write8(Mode == AddrMode::Extended ? address<Mode>(cpu) : target, result);
    }
}

template <typename Set, Op O, AddrMode Mode>
[[gnu::always_inline]] inline void controlFlow(Mc6802& cpu) {
    if constexpr (O == Op::Swi) {
        pushFrame(cpu, plus(cpu.PC, 1), static_cast<u8>(cpu.CC | Set::ccOnes));
        cpu.CC |= Mc6802::flagI;
        cpu.PC = cpu.read16(Mc6802::swiVector);
    } else if constexpr (O == Op::Wai) {
        pushFrame(cpu, plus(cpu.PC, 1), static_cast<u8>(cpu.CC | Set::ccOnes));
        cpu.PC = plus(cpu.PC, 1);
        cpu.waiting = true;
    } else if constexpr (O == Op::Rti && Set::chipRti) {
        cpu.CC |= Mc6802::flagI; // so that the board's return takes I as pulled, as the chip does
        cpu.rti();
        cpu.CC |= Set::ccOnes;
    } else if constexpr (O == Op::Jmp) {
        cpu.PC = address<Mode>(cpu);
    } else if constexpr (O == Op::Bsr) {
        const auto offset = static_cast<std::int8_t>(cpu.read8(plus(cpu.PC, 1)));
        const u16 next = plus(cpu.PC, 2);
        pushReturn(cpu, next);
        cpu.PC = plus(next, offset);
    } else if constexpr (O == Op::Jsr) {
        const u16 target = address<Mode>(cpu);
        pushReturn(cpu, plus(cpu.PC, instructionLength(Mode)));
        cpu.PC = target;
    } else if constexpr (O == Op::Rts) {
        cpu.PC = cpu.read16(plus(cpu.SP, 1));
        cpu.SP = plus(cpu.SP, 2);
    } else if constexpr (O == Op::Rti) {
        cpu.rti();
    } else if (branchTaken<O>(cpu.CC)) { // the offset byte is read only when taken
        cpu.PC = plus(cpu.PC, 2 + static_cast<std::int8_t>(cpu.read8(plus(cpu.PC, 1))));
    } else {
        cpu.PC = plus(cpu.PC, 2);
    }
}

// One opcode, executed as its table row says. The opcode byte has been fetched.
template <typename Set, u8 Opcode> [[gnu::always_inline]] inline bool execute(Mc6802& cpu) {
    constexpr OpcodeInfo row = Set::table[Opcode];
    constexpr Op op = row.op;
    constexpr AddrMode mode = row.mode;
    constexpr Reg reg = row.reg;

    if constexpr (op == Op::Skip) {
        cpu.PC = plus(cpu.PC, 1);
        cpu.cycleCount += 1;
        return false;
    } else {
        if constexpr (reg == Reg::A || reg == Reg::B)
            onAccumulator<Set, op, mode, reg>(cpu);
        else if constexpr (reg == Reg::X || reg == Reg::SP)
            onIndex<Set, op, mode, reg>(cpu);
        else if constexpr (row.setsPc())
            controlFlow<Set, op, mode>(cpu);
        else if constexpr (op == Op::Tpa)
            cpu.A = static_cast<u8>(cpu.CC | Set::ccOnes);
        else if constexpr (op == Op::Clc)
            cpu.CC &= static_cast<u8>(~Mc6802::flagC);
        else if constexpr (op == Op::Cli)
            cpu.CC &= static_cast<u8>(~Mc6802::flagI);
        else if constexpr (op == Op::Sei)
            cpu.CC |= Mc6802::flagI;
        else if constexpr (op == Op::Tap)
            cpu.CC = static_cast<u8>(cpu.A | Set::ccOnes);
        else if constexpr (op == Op::Clv)
            cpu.CC &= static_cast<u8>(~Mc6802::flagV);
        else if constexpr (op == Op::Sev)
            cpu.CC |= Mc6802::flagV;
        else if constexpr (op == Op::Sec)
            cpu.CC |= Mc6802::flagC;
        else if constexpr (op == Op::Ins)
            cpu.SP = plus(cpu.SP, 1);
        else if constexpr (op == Op::Des)
            cpu.SP = plus(cpu.SP, -1);
        else if constexpr (op == Op::Tsx)
            cpu.X = plus(cpu.SP, 1);
        else if constexpr (op == Op::Txs)
            cpu.SP = plus(cpu.X, -1);
        else if constexpr (op != Op::Nop)
            onMemory<Set, op, mode>(cpu);

        if constexpr (!row.setsPc()) cpu.PC = plus(cpu.PC, row.length());
        cpu.cycleCount += row.cycles;
        return true;
    }
}

// The 256-way dispatch: one case per opcode byte, each generated from the byte's row. The
// compiler turns the chain of comparisons into a jump table with every handler inlined.
template <typename Set, std::size_t... Opcodes>
[[gnu::always_inline]] inline bool dispatch(Mc6802& cpu, u8 opcode,
                                            std::index_sequence<Opcodes...>) {
    bool implemented = false;
    static_cast<void>(
        ((opcode == Opcodes && (implemented = execute<Set, Opcodes>(cpu), true)) || ...));
    return implemented;
}

// The complete MC6800 set, in its own source file: runs instructions while cycleCount is below
// target and returns whether the last one was implemented. With stopAt, it also returns after an
// instruction that leaves PC at an address marked there whose gate is open, or that notes a
// watched write, as Mc6802::runUntil does.
bool runCompleteUntil(Mc6802& cpu, std::uint64_t target, const std::uint8_t* stopAt = nullptr,
                      const StopGate* gates = nullptr);

} // namespace execution
