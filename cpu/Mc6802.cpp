#include "cpu/Mc6802.h"

#include "cpu/OpcodeTable.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <utility>

namespace {

using u8 = std::uint8_t;
using u16 = std::uint16_t;

constexpr u16 plus(u16 address, int n) {
    return static_cast<u16>(address + n);
}

} // namespace

const char* instructionSetName(InstructionSet set) {
    return set == InstructionSet::Complete ? "complete" : "board";
}

void Mc6802::reset() {
    std::memset(memory, 0, resetClearLast + 1u);
    waiting = false;
    PC = read16(resetVector);
    A = 0;
    B = 0;
    X = 0;
    SP = 0;
    CC = flagI;
}

void Mc6802::irq() {
    if (CC & flagI) return;
    const bool complete = instructionSet == InstructionSet::Complete;
    if (waiting) {
        waiting = false;
        PC = read16(irqVector);
        CC |= flagI;
        cycleCount += complete ? irqAfterWaiCycles : 0;
        return;
    }
    if (complete) cycleCount += irqCycles;
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

// An instruction set: the table that says what each opcode does and the flag rules that
// it is done by.
struct BoardSet : BoardRules {
    static constexpr const std::array<OpcodeInfo, 256>& table = opcodeTable;
    static constexpr bool chipRti = false;
    static void store16(Mc6802&, u16) {} // STX changes no flag on the board
};

// The MC6800's published flag rules.
struct CompleteRules {
    static constexpr u8 C = Mc6802::flagC, V = Mc6802::flagV, Z = Mc6802::flagZ, N = Mc6802::flagN,
                        H = Mc6802::flagH;

    // Replaces the flags in mask with those in set, N and Z from r when mask holds them.
    [[gnu::always_inline]] static u8 flags(Mc6802& cpu, u8 r, u8 mask, u8 set) {
        const u8 nz = static_cast<u8>((r & 0x80 ? N : 0) | (r == 0 ? Z : 0));
        cpu.CC = static_cast<u8>((cpu.CC & ~(mask | N | Z)) | (set & mask) | nz);
        return r;
    }
    static u8 addition(Mc6802& cpu, u8 a, u8 m, unsigned carry) {
        const unsigned sum = unsigned{a} + m + carry;
        const u8 r = static_cast<u8>(sum);
        const u8 set = static_cast<u8>((sum > 0xFF ? C : 0) | ((a ^ r) & (m ^ r) & 0x80 ? V : 0) |
                                       ((a ^ m ^ r) & 0x10 ? H : 0));
        return flags(cpu, r, C | V | H, set);
    }
    static u8 subtraction(Mc6802& cpu, u8 a, u8 m, unsigned borrow) {
        const u8 r = static_cast<u8>(a - m - borrow);
        const u8 set = static_cast<u8>((unsigned{m} + borrow > a ? C : 0) |
                                       ((a ^ m) & (a ^ r) & 0x80 ? V : 0));
        return flags(cpu, r, C | V, set);
    }
    // Shifts and rotates: C is the bit shifted out, V is N exclusive-or C.
    static u8 shift(Mc6802& cpu, u8 r, bool carry) {
        const bool n = r & 0x80;
        return flags(cpu, r, C | V, static_cast<u8>((carry ? C : 0) | (n != carry ? V : 0)));
    }
    static u8 daa(Mc6802& cpu, u8 a) {
        const unsigned low = a & 0x0F, high = a >> 4;
        unsigned correction = 0;
        if ((cpu.CC & H) || low > 9) correction |= 0x06;
        if ((cpu.CC & C) || high > 9 || (high > 8 && low > 9)) correction |= 0x60;
        const u8 r = static_cast<u8>(a + correction);
        // C is set by a decimal carry and never cleared; V is left as it was.
        return flags(cpu, r, C, static_cast<u8>(((cpu.CC & C) || correction >= 0x60) ? C : 0));
    }

    template <Op O> [[gnu::always_inline]] static u8 apply8(Mc6802& cpu, u8 r, u8 m) {
        const unsigned carry = cpu.CC & C;
        switch (O) {
        case Op::Sub:
        case Op::Cmp: return subtraction(cpu, r, m, 0);
        case Op::Sbc: return subtraction(cpu, r, m, carry);
        case Op::Add: return addition(cpu, r, m, 0);
        case Op::Adc: return addition(cpu, r, m, carry);
        case Op::And:
        case Op::Bit: return flags(cpu, r & m, V, 0);
        case Op::Or: return flags(cpu, r | m, V, 0);
        case Op::Eor: return flags(cpu, r ^ m, V, 0);
        case Op::Ld: return flags(cpu, m, V, 0);
        case Op::St: return flags(cpu, r, V, 0);
        case Op::Neg: {
            const u8 v = static_cast<u8>(0 - r);
            return flags(cpu, v, C | V, static_cast<u8>((v ? C : 0) | (v == 0x80 ? V : 0)));
        }
        case Op::Com: return flags(cpu, static_cast<u8>(~r), C | V, C);
        case Op::Inc: return flags(cpu, static_cast<u8>(r + 1), V, r == 0x7F ? V : 0);
        case Op::Dec: return flags(cpu, static_cast<u8>(r - 1), V, r == 0x80 ? V : 0);
        case Op::Asl: return shift(cpu, static_cast<u8>(r << 1), r & 0x80);
        case Op::Asr: return shift(cpu, static_cast<u8>((r >> 1) | (r & 0x80)), r & 0x01);
        case Op::Lsr: return shift(cpu, static_cast<u8>(r >> 1), r & 0x01);
        case Op::Rol: return shift(cpu, static_cast<u8>((r << 1) | carry), r & 0x80);
        case Op::Ror: return shift(cpu, static_cast<u8>((r >> 1) | (carry << 7)), r & 0x01);
        case Op::Tst: flags(cpu, r, C | V, 0); return r;
        case Op::Clr: return flags(cpu, 0, C | V, 0);
        case Op::Daa: return daa(cpu, r);
        default: static_assert(O >= Op::Neg && O <= Op::Daa); return r;
        }
    }
    // 16-bit values: N from bit 15, Z from all 16 bits.
    static u16 flags16(Mc6802& cpu, u16 v) {
        flags(cpu, static_cast<u8>((v >> 8) | (v & 0xFF ? 1 : 0)), V, 0);
        cpu.CC = static_cast<u8>((cpu.CC & ~N) | (v & 0x8000 ? N : 0));
        return v;
    }
    template <Op O> [[gnu::always_inline]] static u16 apply16(Mc6802& cpu, u16 r, u16 m) {
        switch (O) {
        case Op::Ld: return flags16(cpu, m);
        case Op::Inc: return BoardRules::apply16<O>(cpu, r, m); // INX and DEX touch only Z
        case Op::Dec: return BoardRules::apply16<O>(cpu, r, m);
        case Op::Cmp: {
            // CPX: Z from all 16 bits, N and V from the high bytes' subtraction alone.
            const u8 xh = static_cast<u8>(r >> 8), mh = static_cast<u8>(m >> 8);
            const u8 h = static_cast<u8>(xh - mh);
            const u8 set = static_cast<u8>((h & 0x80 ? N : 0) | (r == m ? Z : 0) |
                                           ((xh ^ mh) & (xh ^ h) & 0x80 ? V : 0));
            cpu.CC = static_cast<u8>((cpu.CC & ~(N | Z | V)) | set);
            return r;
        }
        default:
            static_assert(O == Op::Ld || O == Op::Inc || O == Op::Dec || O == Op::Cmp);
            return r;
        }
    }
    static void store16(Mc6802& cpu, u16 v) { flags16(cpu, v); }
};

struct CompleteSet : CompleteRules {
    static constexpr const std::array<OpcodeInfo, 256>& table = completeOpcodeTable;
    static constexpr bool chipRti = true;
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

// Stacks PC, X, A, B and CC as the interrupt entry does, for SWI and WAI.
[[gnu::always_inline]] inline void pushFrame(Mc6802& cpu, u16 pc) {
    const u16 s = cpu.SP;
    cpu.write16(plus(s, -1), pc);
    cpu.write16(plus(s, -3), cpu.X);
    cpu.write8(plus(s, -4), cpu.A);
    cpu.write8(plus(s, -5), cpu.B);
    cpu.write8(plus(s, -6), cpu.CC);
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
        pushFrame(cpu, plus(cpu.PC, 1));
        cpu.CC |= Mc6802::flagI;
        cpu.PC = cpu.read16(Mc6802::swiVector);
    } else if constexpr (O == Op::Wai) {
        pushFrame(cpu, plus(cpu.PC, 1));
        cpu.PC = plus(cpu.PC, 1);
        cpu.waiting = true;
    } else if constexpr (O == Op::Rti && Set::chipRti) {
        cpu.CC |= Mc6802::flagI; // so that the board's return takes I as pulled, as the chip does
        cpu.rti();
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
            cpu.A = cpu.CC;
        else if constexpr (op == Op::Clc)
            cpu.CC &= static_cast<u8>(~Mc6802::flagC);
        else if constexpr (op == Op::Cli)
            cpu.CC &= static_cast<u8>(~Mc6802::flagI);
        else if constexpr (op == Op::Sei)
            cpu.CC |= Mc6802::flagI;
        else if constexpr (op == Op::Tap)
            cpu.CC = cpu.A;
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

} // namespace

namespace {

[[gnu::always_inline]] inline bool executeComplete(Mc6802& cpu) {
    return dispatch<CompleteSet>(cpu, cpu.read8(cpu.PC), std::make_index_sequence<256>{});
}

// The complete set's loop; while waiting after WAI only time passes.
[[gnu::noinline]] void runCompleteUntil(Mc6802& cpu, std::uint64_t target) {
    while (cpu.cycleCount < target) {
        if (cpu.waiting) {
            cpu.cycleCount = target;
            return;
        }
        executeComplete(cpu);
    }
}

} // namespace

inline bool Mc6802::execute() {
    return dispatch<BoardSet>(*this, read8(PC), std::make_index_sequence<256>{});
}

bool Mc6802::step() {
    if (instructionSet == InstructionSet::Board) return execute();
    if (waiting) {
        cycleCount += 1;
        return false;
    }
    return executeComplete(*this);
}

void Mc6802::runUntil(std::uint64_t target) {
    if (instructionSet == InstructionSet::Complete) {
        runCompleteUntil(*this, target);
        return;
    }
    while (cycleCount < target)
        execute();
}
