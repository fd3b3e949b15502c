#include "cpu/Mc6802.h"

#include "cpu/OpcodeTable.h"

#include <cstring>

namespace {

using u8 = std::uint8_t;
using u16 = std::uint16_t;

constexpr u16 plus(u16 address, int n) {
    return static_cast<u16>(address + n);
}

} // namespace

void Mc6802::reset() {
    std::memset(memory, 0, resetClearLast + 1u);
    PC = read16(resetVector);
    A = 0;
    B = 0;
    X = 0;
    SP = 0;
    CC = flagI;
}

void Mc6802::irq() {
    if (CC & flagI) return;
    const u16 s = SP;
    SP = plus(s, -1);
    write16(plus(s, -1), PC);
    SP = plus(s, -3);
    write16(plus(s, -3), X);
    write8(plus(s, -4), A);
    write8(plus(s, -5), B);
    write8(plus(s, -6), CC);
    SP = plus(s, -7);
    PC = read16(irqVector);
    CC |= flagI;
}

void Mc6802::rti() {
    const u16 s = SP;
    const u8 maskBefore = CC & flagI;
    SP = plus(s, 1);
    CC = read8(SP);
    SP = plus(s, 2);
    B = read8(SP);
    SP = plus(s, 3);
    A = read8(SP);
    X = read16(plus(s, 4));
    SP = plus(s, 4);
    PC = read16(plus(s, 6));
    SP = plus(s, 7);
    // A pulled I = 1 can only keep the mask as it was: RTI unmasks, it never masks.
    if (CC & flagI) CC = static_cast<u8>((CC & ~flagI) | maskBefore);
}

namespace {

// Operand access by addressing mode. Every byte goes through the bus, so every operand
// byte fetched gets its heat bump.
template <AddrMode Mode> struct Operand;

template <> struct Operand<AddrMode::Immediate8> {
    [[gnu::always_inline]] static u8 read(Mc6802& cpu) { return cpu.read8(plus(cpu.PC, 1)); }
};
template <> struct Operand<AddrMode::Immediate16> {
    [[gnu::always_inline]] static u16 read16(Mc6802& cpu) { return cpu.read16(plus(cpu.PC, 1)); }
};
template <> struct Operand<AddrMode::Direct> {
    [[gnu::always_inline]] static u16 address(Mc6802& cpu) { return cpu.read8(plus(cpu.PC, 1)); }
    [[gnu::always_inline]] static u8 read(Mc6802& cpu) { return cpu.read8(address(cpu)); }
    [[gnu::always_inline]] static u16 read16(Mc6802& cpu) { return cpu.read16(address(cpu)); }
};
template <> struct Operand<AddrMode::Indexed> {
    [[gnu::always_inline]] static u16 address(Mc6802& cpu) {
        return plus(cpu.X, cpu.read8(plus(cpu.PC, 1)));
    }
    [[gnu::always_inline]] static u8 read(Mc6802& cpu) { return cpu.read8(address(cpu)); }
    [[gnu::always_inline]] static u16 read16(Mc6802& cpu) { return cpu.read16(address(cpu)); }
};
template <> struct Operand<AddrMode::Extended> {
    [[gnu::always_inline]] static u16 address(Mc6802& cpu) { return cpu.read16(plus(cpu.PC, 1)); }
    [[gnu::always_inline]] static u8 read(Mc6802& cpu) { return cpu.read8(address(cpu)); }
};

// Read-modify-write on memory. The extended forms fetch their address bytes again before
// the write (a second heat bump on each); the indexed forms fetch the offset once.
template <AddrMode Mode, typename Op>
[[gnu::always_inline]] inline void modify(Mc6802& cpu, Op op) {
    const u16 address = Operand<Mode>::address(cpu);
    const u8 result = op(cpu.read8(address));
    cpu.write8(Mode == AddrMode::Extended ? Operand<Mode>::address(cpu) : address, result);
}

// CLR never reads its target; the flags change even when the write is dropped.
template <AddrMode Mode> [[gnu::always_inline]] inline void clearMemory(Mc6802& cpu) {
    const u16 address = Operand<Mode>::address(cpu);
    cpu.write8(address, cpu.clear8());
}

template <AddrMode Mode> [[gnu::always_inline]] inline void store(Mc6802& cpu, u8 value) {
    const u16 address = Operand<Mode>::address(cpu);
    cpu.write8(address, cpu.store8(value));
}

[[gnu::always_inline]] inline void branchIf(Mc6802& cpu, bool taken) {
    if (taken) // the offset byte is read only when the branch is taken
        cpu.PC = plus(cpu.PC, 2 + static_cast<std::int8_t>(cpu.read8(plus(cpu.PC, 1))));
    else
        cpu.PC = plus(cpu.PC, 2);
}

// Pushes a return address as one 16-bit write: it lands only if both bytes fit the window.
[[gnu::always_inline]] inline void pushReturn(Mc6802& cpu, u16 address) {
    cpu.SP = plus(cpu.SP, -1);
    cpu.write16(cpu.SP, address);
    cpu.SP = plus(cpu.SP, -1);
}

// The end of every executed instruction: length and cycles come from the opcode's table
// row as constants, so the two cannot drift apart.
template <u8 Opcode> [[gnu::always_inline]] inline bool done(Mc6802& cpu) {
    constexpr OpcodeInfo info = opcodeTable[Opcode];
    static_assert(info.implemented(), "every executed opcode has a row in the table");
    if constexpr (!info.setsPc) cpu.PC = plus(cpu.PC, info.length);
    cpu.cycleCount += info.cycles;
    return true;
}

} // namespace

inline bool Mc6802::execute() {
    using M = AddrMode;
    const u8 opcode = read8(PC);
    const u8 flags = CC;
    auto set = [&](u8 mask) { return (flags & mask) != 0; };

    switch (opcode) {
    // ---- Inherent ----
    case 0x01: return done<0x01>(*this); // NOP
    case 0x07: A = CC; return done<0x07>(*this);
    case 0x08: X = load16(static_cast<u16>(X + 1)); return done<0x08>(*this);
    case 0x09: X = load16(static_cast<u16>(X - 1)); return done<0x09>(*this);
    case 0x0C: CC &= static_cast<u8>(~flagC); return done<0x0C>(*this);
    case 0x0E: CC &= static_cast<u8>(~flagI); return done<0x0E>(*this);
    case 0x0F: CC |= flagI; return done<0x0F>(*this);
    case 0x10: A = sub8(A, B); return done<0x10>(*this);
    case 0x16: B = load8(A); return done<0x16>(*this);
    case 0x17: A = load8(B); return done<0x17>(*this);
    case 0x1B: A = add8(A, B); return done<0x1B>(*this);

    // ---- Branches ----
    case 0x20: branchIf(*this, true); return done<0x20>(*this);
    case 0x22: branchIf(*this, !set(flagC) && !set(flagZ)); return done<0x22>(*this);
    case 0x23: branchIf(*this, set(flagC) || set(flagZ)); return done<0x23>(*this);
    case 0x24: branchIf(*this, !set(flagC)); return done<0x24>(*this);
    case 0x25: branchIf(*this, set(flagC)); return done<0x25>(*this);
    case 0x26: branchIf(*this, !set(flagZ)); return done<0x26>(*this);
    case 0x27: branchIf(*this, set(flagZ)); return done<0x27>(*this);
    case 0x2A: branchIf(*this, !set(flagN)); return done<0x2A>(*this);
    case 0x2B: branchIf(*this, set(flagN)); return done<0x2B>(*this);

    // ---- Stack and returns ----
    case 0x32: // PULA
        SP = plus(SP, 1);
        A = read8(SP);
        return done<0x32>(*this);
    case 0x36: // PSHA
        write8(SP, A);
        SP = plus(SP, -1);
        return done<0x36>(*this);
    case 0x39: // RTS
        PC = read16(plus(SP, 1));
        SP = plus(SP, 2);
        return done<0x39>(*this);
    case 0x3B: rti(); return done<0x3B>(*this);

    // ---- Accumulators ----
    case 0x40: A = neg8(A); return done<0x40>(*this);
    case 0x43: A = com8(A); return done<0x43>(*this);
    case 0x44: A = lsr8(A); return done<0x44>(*this);
    case 0x46: A = ror8(A); return done<0x46>(*this);
    case 0x48: A = asl8(A); return done<0x48>(*this);
    case 0x4A: A = dec8(A); return done<0x4A>(*this);
    case 0x4C: A = inc8(A); return done<0x4C>(*this);
    case 0x4D: sub8(A, 0); return done<0x4D>(*this); // TSTA
    case 0x4F: A = clear8(); return done<0x4F>(*this);
    case 0x50: B = neg8(B); return done<0x50>(*this);
    case 0x53: B = com8(B); return done<0x53>(*this);
    case 0x54: B = lsr8(B); return done<0x54>(*this);
    case 0x56: B = ror8(B); return done<0x56>(*this);
    case 0x58: B = asl8(B); return done<0x58>(*this);
    case 0x5A: B = dec8(B); return done<0x5A>(*this);
    case 0x5C: B = inc8(B); return done<0x5C>(*this);
    case 0x5D: sub8(B, 0); return done<0x5D>(*this); // TSTB
    case 0x5F: B = clear8(); return done<0x5F>(*this);

    // ---- Memory read-modify-write ----
    case 0x60:
        modify<M::Indexed>(*this, [this](u8 m) { return neg8(m); });
        return done<0x60>(*this);
    case 0x66:
        modify<M::Indexed>(*this, [this](u8 m) { return ror8(m); });
        return done<0x66>(*this);
    case 0x6A:
        modify<M::Indexed>(*this, [this](u8 m) { return dec8(m); });
        return done<0x6A>(*this);
    case 0x6E: PC = Operand<M::Indexed>::address(*this); return done<0x6E>(*this); // JMP
    case 0x6F: clearMemory<M::Indexed>(*this); return done<0x6F>(*this);
    case 0x70:
        modify<M::Extended>(*this, [this](u8 m) { return neg8(m); });
        return done<0x70>(*this);
    case 0x73:
        modify<M::Extended>(*this, [this](u8 m) { return com8(m); });
        return done<0x73>(*this);
    case 0x74:
        modify<M::Extended>(*this, [this](u8 m) { return lsr8(m); });
        return done<0x74>(*this);
    case 0x76:
        modify<M::Extended>(*this, [this](u8 m) { return ror8(m); });
        return done<0x76>(*this);
    case 0x7A:
        modify<M::Extended>(*this, [this](u8 m) { return dec8(m); });
        return done<0x7A>(*this);
    case 0x7C:
        modify<M::Extended>(*this, [this](u8 m) { return inc8(m); });
        return done<0x7C>(*this);
    // TST writes the unchanged byte back: a RAM byte gets a second heat bump.
    case 0x7D:
        modify<M::Extended>(*this, [this](u8 m) {
            sub8(m, 0);
            return m;
        });
        return done<0x7D>(*this);
    case 0x7E: PC = Operand<M::Extended>::address(*this); return done<0x7E>(*this); // JMP
    case 0x7F: clearMemory<M::Extended>(*this); return done<0x7F>(*this);

    // ---- Accumulator A with memory ----
    case 0x80: A = sub8(A, Operand<M::Immediate8>::read(*this)); return done<0x80>(*this);
    case 0x90: A = sub8(A, Operand<M::Direct>::read(*this)); return done<0x90>(*this);
    case 0x81: sub8(A, Operand<M::Immediate8>::read(*this)); return done<0x81>(*this);
    case 0x91: sub8(A, Operand<M::Direct>::read(*this)); return done<0x91>(*this);
    case 0x82: A = sbc8(A, Operand<M::Immediate8>::read(*this)); return done<0x82>(*this);
    case 0x92: A = sbc8(A, Operand<M::Direct>::read(*this)); return done<0x92>(*this);
    case 0xA2: A = sbc8(A, Operand<M::Indexed>::read(*this)); return done<0xA2>(*this);
    case 0xB2: A = sbc8(A, Operand<M::Extended>::read(*this)); return done<0xB2>(*this);
    case 0x84: A = and8(A, Operand<M::Immediate8>::read(*this)); return done<0x84>(*this);
    case 0x94: A = and8(A, Operand<M::Direct>::read(*this)); return done<0x94>(*this);
    case 0xA4: A = and8(A, Operand<M::Indexed>::read(*this)); return done<0xA4>(*this);
    case 0xB4: A = and8(A, Operand<M::Extended>::read(*this)); return done<0xB4>(*this);
    case 0x86: A = load8(Operand<M::Immediate8>::read(*this)); return done<0x86>(*this);
    case 0x96: A = load8(Operand<M::Direct>::read(*this)); return done<0x96>(*this);
    case 0xA6: A = load8(Operand<M::Indexed>::read(*this)); return done<0xA6>(*this);
    case 0xB6: A = load8(Operand<M::Extended>::read(*this)); return done<0xB6>(*this);
    case 0x97: store<M::Direct>(*this, A); return done<0x97>(*this);
    case 0xA7: store<M::Indexed>(*this, A); return done<0xA7>(*this);
    case 0xB7: store<M::Extended>(*this, A); return done<0xB7>(*this);
    case 0x88: A = eor8(A, Operand<M::Immediate8>::read(*this)); return done<0x88>(*this);
    case 0x98: A = eor8(A, Operand<M::Direct>::read(*this)); return done<0x98>(*this);
    case 0xA8: A = eor8(A, Operand<M::Indexed>::read(*this)); return done<0xA8>(*this);
    case 0xB8: A = eor8(A, Operand<M::Extended>::read(*this)); return done<0xB8>(*this);
    case 0x89: A = adc8(A, Operand<M::Immediate8>::read(*this)); return done<0x89>(*this);
    case 0x99: A = adc8(A, Operand<M::Direct>::read(*this)); return done<0x99>(*this);
    case 0x9A: A = or8(A, Operand<M::Direct>::read(*this)); return done<0x9A>(*this);
    case 0x8B: A = add8(A, Operand<M::Immediate8>::read(*this)); return done<0x8B>(*this);
    case 0x9B: A = add8(A, Operand<M::Direct>::read(*this)); return done<0x9B>(*this);
    case 0xAB: A = add8(A, Operand<M::Indexed>::read(*this)); return done<0xAB>(*this);

    // ---- Accumulator B with memory ----
    case 0xD0: B = sub8(B, Operand<M::Direct>::read(*this)); return done<0xD0>(*this);
    case 0xC1: sub8(B, Operand<M::Immediate8>::read(*this)); return done<0xC1>(*this);
    case 0xD1: sub8(B, Operand<M::Direct>::read(*this)); return done<0xD1>(*this);
    case 0xC2: B = sbc8(B, Operand<M::Immediate8>::read(*this)); return done<0xC2>(*this);
    case 0xD2: B = sbc8(B, Operand<M::Direct>::read(*this)); return done<0xD2>(*this);
    case 0xE2: B = sbc8(B, Operand<M::Indexed>::read(*this)); return done<0xE2>(*this);
    case 0xF2: B = sbc8(B, Operand<M::Extended>::read(*this)); return done<0xF2>(*this);
    case 0xC4: B = and8(B, Operand<M::Immediate8>::read(*this)); return done<0xC4>(*this);
    case 0xD4: B = and8(B, Operand<M::Direct>::read(*this)); return done<0xD4>(*this);
    case 0xE4: B = and8(B, Operand<M::Indexed>::read(*this)); return done<0xE4>(*this);
    case 0xF4: B = and8(B, Operand<M::Extended>::read(*this)); return done<0xF4>(*this);
    case 0xC6: B = load8(Operand<M::Immediate8>::read(*this)); return done<0xC6>(*this);
    case 0xD6: B = load8(Operand<M::Direct>::read(*this)); return done<0xD6>(*this);
    case 0xE6: B = load8(Operand<M::Indexed>::read(*this)); return done<0xE6>(*this);
    case 0xF6: B = load8(Operand<M::Extended>::read(*this)); return done<0xF6>(*this);
    case 0xD7: store<M::Direct>(*this, B); return done<0xD7>(*this);
    case 0xE7: store<M::Indexed>(*this, B); return done<0xE7>(*this);
    case 0xF7: store<M::Extended>(*this, B); return done<0xF7>(*this);
    case 0xC8: B = eor8(B, Operand<M::Immediate8>::read(*this)); return done<0xC8>(*this);
    case 0xD8: B = eor8(B, Operand<M::Direct>::read(*this)); return done<0xD8>(*this);
    case 0xE8: B = eor8(B, Operand<M::Indexed>::read(*this)); return done<0xE8>(*this);
    case 0xF8: B = eor8(B, Operand<M::Extended>::read(*this)); return done<0xF8>(*this);
    case 0xCB: B = add8(B, Operand<M::Immediate8>::read(*this)); return done<0xCB>(*this);
    case 0xDB: B = add8(B, Operand<M::Direct>::read(*this)); return done<0xDB>(*this);

    // ---- 16-bit ----
    case 0x8C: compare16(X, Operand<M::Immediate16>::read16(*this)); return done<0x8C>(*this);
    case 0x9C: compare16(X, Operand<M::Direct>::read16(*this)); return done<0x9C>(*this);
    case 0x8E: SP = load16(Operand<M::Immediate16>::read16(*this)); return done<0x8E>(*this);
    case 0xCE: X = load16(Operand<M::Immediate16>::read16(*this)); return done<0xCE>(*this);
    case 0xDE: X = load16(Operand<M::Direct>::read16(*this)); return done<0xDE>(*this);
    case 0xEE: X = load16(Operand<M::Indexed>::read16(*this)); return done<0xEE>(*this);
    case 0xDF:
        write16(Operand<M::Direct>::address(*this), X);
        return done<0xDF>(*this); // STX: no flags

    // ---- Subroutines ----
    case 0x8D: { // BSR
        const auto offset = static_cast<std::int8_t>(read8(plus(PC, 1)));
        const u16 next = plus(PC, 2);
        pushReturn(*this, next);
        PC = plus(next, offset);
        return done<0x8D>(*this);
    }
    case 0xAD: { // JSR indexed
        const u16 target = Operand<M::Indexed>::address(*this);
        pushReturn(*this, plus(PC, 2));
        PC = target;
        return done<0xAD>(*this);
    }
    case 0xBD: { // JSR extended
        const u16 target = Operand<M::Extended>::address(*this);
        pushReturn(*this, plus(PC, 3));
        PC = target;
        return done<0xBD>(*this);
    }

    default: // not executed by this processor: skipped as one byte, one cycle
        PC = plus(PC, 1);
        cycleCount += 1;
        return false;
    }
}

bool Mc6802::step() {
    return execute();
}

void Mc6802::runUntil(std::uint64_t target) {
    while (cycleCount < target)
        execute();
}
