#include "debug/Debugger.h"

#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"

namespace {

// Sets or clears address in a list of at most maxPoints; false when the list is full.
bool togglePoint(std::array<std::uint16_t, DebugStatus::maxPoints>& points, std::int32_t& count,
                 std::uint16_t address, bool& set) {
    for (std::int32_t i = 0; i < count; ++i) {
        if (points[static_cast<std::size_t>(i)] != address) continue;
        for (std::int32_t j = i + 1; j < count; ++j)
            points[static_cast<std::size_t>(j - 1)] = points[static_cast<std::size_t>(j)];
        --count;
        set = false;
        return true;
    }
    if (count == DebugStatus::maxPoints) return false;
    points[static_cast<std::size_t>(count++)] = address;
    set = true;
    return true;
}

} // namespace

bool Debugger::refuse(DebugStatus::Stop list, std::uint16_t address) {
    status.full = list;
    status.fullAddress = address;
    return false;
}

bool Debugger::toggleBreak(std::uint16_t address) {
    bool set = false;
    if (!togglePoint(status.breakpoints, status.breakCount, address, set))
        return refuse(DebugStatus::Stop::Break, address);
    status.full = DebugStatus::Stop::None;
    breakAt[address] = set ? 1 : 0;
    return true;
}

bool Debugger::toggleWatch(Mc6802& cpu, std::uint16_t address) {
    bool set = false;
    if (!togglePoint(status.watchpoints, status.watchCount, address, set))
        return refuse(DebugStatus::Stop::Watch, address);
    status.full = DebugStatus::Stop::None;
    // Outside the write window nothing is ever written: such a watchpoint never fires.
    if (address < cpu.watched.size()) cpu.watched[address] = set ? 1 : 0;
    return true;
}

bool Debugger::stepOver(Mc6802& cpu) {
    const OpcodeInfo& info = opcodeTableFor(cpu.instructionSet)[cpu.memory[cpu.PC]];
    if (info.op != Op::Jsr && info.op != Op::Bsr) return false;
    goal = Goal::Return;
    goalPc = static_cast<std::uint16_t>(cpu.PC + info.length());
    goalSp = cpu.SP;
    return true;
}

void Debugger::stepOut(const Mc6802& cpu) {
    goal = Goal::Out;
    goalSp = cpu.SP;
}

void Debugger::started(const Mc6802& cpu) {
    status.stop = DebugStatus::Stop::None;
    status.runStart = cpu.cycleCount;
    resumeAt = cpu.PC;
}

std::uint8_t Debugger::execute(Mc6802& cpu, const TraceRing* trace) {
    const bool waited = cpu.waiting;
    TraceRecord& r = batch[batched];
    r.pc = cpu.PC;
    for (int i = 0; i < 3; ++i)
        r.bytes[i] = cpu.memory[static_cast<std::uint16_t>(r.pc + i)];
    cpu.step();
    if (trace != nullptr && !waited) { // a wait after WAI is no instruction
        r.cycles = cpu.cycleCount;
        r.x = cpu.X;
        r.sp = cpu.SP;
        r.a = cpu.A;
        r.b = cpu.B;
        r.cc = cpu.CC;
        r.set = cpu.instructionSet;
        ++batched;
    }
    return r.bytes[0];
}

void Debugger::flush(TraceRing* trace) {
    if (trace != nullptr && batched != 0) trace->push(batch.data(), batched);
    batched = 0;
}

void Debugger::step(Mc6802& cpu, TraceRing* trace) {
    execute(cpu, trace);
    flush(trace);
}

bool Debugger::runUntil(Mc6802& cpu, std::uint64_t target, TraceRing* trace) {
    bool runs = true;
    while (cpu.cycleCount < target) {
        const std::uint16_t pc = cpu.PC;
        // While waiting after WAI the instruction at PC is not next: an interrupt is.
        if (breakAt[pc] != 0 && pc != resumeAt && !cpu.waiting) {
            status.stop = DebugStatus::Stop::Break;
            status.stopAddress = pc;
            runs = false;
            break;
        }
        resumeAt = -1;
        const bool waited = cpu.waiting;
        cpu.watchHit = -1;
        const std::uint8_t opcode = execute(cpu, trace);
        if (batched == traceBatch) flush(trace);
        if (cpu.watchHit >= 0) {
            status.stop = DebugStatus::Stop::Watch;
            status.stopAddress = static_cast<std::uint16_t>(cpu.watchHit);
            status.before = cpu.watchBefore;
            status.after = cpu.memory[status.stopAddress];
            cpu.watchHit = -1;
            runs = false;
            break;
        }
        if (goal == Goal::Return && cpu.PC == goalPc && cpu.SP == goalSp && !waited) {
            runs = false;
            break;
        }
        // U: an RTS or RTI that lifts the stack above where it stood.
        if (goal == Goal::Out && cpu.SP > goalSp) {
            const Op op = opcodeTableFor(cpu.instructionSet)[opcode].op;
            if (op == Op::Rts || op == Op::Rti) {
                runs = false;
                break;
            }
        }
    }
    flush(trace);
    if (!runs) goal = Goal::None;
    return runs;
}
