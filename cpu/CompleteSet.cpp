#include "cpu/Execution.h"
#include "cpu/OpcodeTable.h"

namespace execution {
namespace {

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
    static constexpr const std::array<OpcodeInfo, 256>& table =
        opcodeTableFor(InstructionSet::Complete);
    static constexpr bool chipRti = true;
    static constexpr u8 ccOnes = Mc6802::ccHighOnes;
};

[[gnu::always_inline]] inline bool executeComplete(Mc6802& cpu) {
    return dispatch<CompleteSet>(cpu, cpu.read8(cpu.PC), std::make_index_sequence<256>{});
}

} // namespace

// One loop serves both step and runUntil: a second copy of the dispatch would crowd the bus
// reads out of the compiler's inlining. The result is the last instruction's.
bool runCompleteUntil(Mc6802& cpu, std::uint64_t target, const std::uint8_t* stopAt,
                      const StopGate* gates) {
    bool implemented = false;
    std::uint64_t n = 0;
    while (cpu.cycleCount < target) {
        if (cpu.waiting) { // after WAI only time passes
            cpu.cycleCount = target;
            implemented = false;
            break;
        }
        implemented = executeComplete(cpu);
        ++n;
        if (stopAt != nullptr && (stopAt[cpu.PC] != 0 || cpu.watchHit >= 0)) [[unlikely]]
            if (cpu.watchHit >= 0 || gates[stopAt[cpu.PC] - 1].open(cpu)) break;
    }
    cpu.steps += n;
    return implemented;
}

} // namespace execution
