#include "debug/DataReads.h"

#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"

namespace {

// Whether op fetches its memory operand: every operation on memory but the stores, CLR
// (which only writes) and the jumps (which take the address itself).
constexpr bool readsOperand(Op op) {
    return op != Op::St && op != Op::Clr && op != Op::Jmp && op != Op::Jsr;
}

} // namespace

DataReads DataReads::of(const Mc6802& cpu) {
    if (cpu.waiting) return {}; // only time passes
    const std::uint8_t* m = cpu.memory;
    const OpcodeInfo& info = opcodeTableFor(cpu.instructionSet)[m[cpu.PC]];
    const auto at = [&](int n) { return m[static_cast<std::uint16_t>(cpu.PC + n)]; };
    const auto stack = [&](std::uint8_t n) {
        return DataReads{static_cast<std::uint16_t>(cpu.SP + 1), n};
    };
    switch (info.op) {
    case Op::Pul: return stack(1);
    case Op::Rts: return stack(2);
    case Op::Rti: return stack(7);
    default: break;
    }
    if (!readsOperand(info.op)) return {};
    const bool wide = info.reg == Reg::X || info.reg == Reg::SP;
    const std::uint8_t size = wide ? 2 : 1;
    switch (info.mode) {
    case AddrMode::Direct: return {at(1), size};
    case AddrMode::Indexed: return {static_cast<std::uint16_t>(cpu.X + at(1)), size};
    case AddrMode::Extended: return {static_cast<std::uint16_t>(at(1) << 8 | at(2)), size};
    default: return {};
    }
}
