#include "cpu/Mc6802.h"

#include "cpu/Execution.h"
#include "cpu/History.h"
#include "cpu/OpcodeTable.h"

#include <cstring>

using namespace execution;

const char* instructionSetName(InstructionSet set) {
    return set == InstructionSet::Complete ? "complete" : "board";
}

bool parseInstructionSet(std::string_view name, InstructionSet& set) {
    for (const InstructionSet each : {InstructionSet::Board, InstructionSet::Complete}) {
        if (name == instructionSetName(each)) {
            set = each;
            return true;
        }
    }
    return false;
}

void Mc6802::reset() {
    if (history != nullptr) history->clear();
    std::memset(memory, 0, resetClearLast + 1u);
    waiting = false;
    PC = read16(resetVector);
    A = 0;
    B = 0;
    X = 0;
    SP = 0;
    CC = instructionSet == InstructionSet::Complete ? u8{flagI | ccHighOnes} : flagI;
}

void Mc6802::record(History* steps) {
    history = steps;
    if (history != nullptr) history->clear();
}

void Mc6802::irq() {
    if (CC & flagI) return;
    if (history != nullptr) history->interrupting(*this);
    ++steps;
    const bool complete = instructionSet == InstructionSet::Complete;
    if (waiting) {
        waiting = false;
        PC = read16(irqVector);
        CC |= flagI;
        cycleCount += complete ? irqAfterWaiCycles : 0;
        return;
    }
    if (complete) cycleCount += irqCycles;
    pushFrame(*this, PC, complete ? static_cast<u8>(CC | ccHighOnes) : CC);
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

// An instruction set: the table that says what each opcode does and the flag rules that
// it is done by.
struct BoardSet : BoardRules {
    static constexpr const std::array<OpcodeInfo, 256>& table =
        opcodeTableFor(InstructionSet::Board);
    static constexpr bool chipRti = false;
    static constexpr u8 ccOnes = 0;      // CC reads and loads as it is
    static void store16(Mc6802&, u16) {} // STX changes no flag on the board
};

} // namespace

inline bool Mc6802::execute() {
    return dispatch<BoardSet>(*this, read8(PC), std::make_index_sequence<256>{});
}

bool Mc6802::step() {
    if (history != nullptr) history->beforeRun(*this);
    if (instructionSet != InstructionSet::Board) [[unlikely]]
        return runCompleteUntil(*this, cycleCount + 1); // every instruction takes a cycle or more
    ++steps;
    return execute();
}

// The count of steps is kept in a local: the stores through memory could alias the member.
void Mc6802::runUntil(std::uint64_t target) {
    if (history != nullptr) history->beforeRun(*this);
    if (instructionSet != InstructionSet::Board) [[unlikely]] {
        runCompleteUntil(*this, target);
        return;
    }
    std::uint64_t n = 0;
    while (cycleCount < target) {
        execute();
        ++n;
    }
    steps += n;
}

void Mc6802::runUntil(std::uint64_t target, const std::uint8_t* stopAt, const StopGate* gates) {
    if (history != nullptr) history->beforeRun(*this);
    if (instructionSet != InstructionSet::Board) [[unlikely]] {
        runCompleteUntil(*this, target, stopAt, gates);
        return;
    }
    std::uint64_t n = 0;
    while (cycleCount < target) {
        execute();
        ++n;
        if (stopAt[PC] != 0 || watchHit >= 0) [[unlikely]]
            if (watchHit >= 0 || gates[stopAt[PC] - 1].open(*this)) break;
    }
    steps += n;
}
