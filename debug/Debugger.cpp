#include "debug/Debugger.h"

#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"

namespace {

using Points = std::array<std::uint16_t, DebugStatus::maxPoints>;

// The index of address in the first count points, or -1.
std::int32_t find(const Points& points, std::int32_t count, std::uint16_t address) {
    for (std::int32_t i = 0; i < count; ++i)
        if (points[static_cast<std::size_t>(i)] == address) return i;
    return -1;
}

bool holds(const Expression& condition, const Mc6802& cpu) {
    return condition.empty() || condition.evaluate(cpu) != 0;
}

} // namespace

bool Debugger::refuse(DebugStatus::Stop list, std::uint16_t address) {
    status.full = list;
    status.fullAddress = address;
    return false;
}

bool Debugger::toggleBreak(std::uint16_t address) {
    const std::int32_t i = find(status.breakpoints, status.breakCount, address);
    if (i < 0) return setBreak(address, Expression{});
    dropBreak(i);
    status.full = DebugStatus::Stop::None;
    return true;
}

bool Debugger::toggleWatch(Mc6802& cpu, std::uint16_t address) {
    const std::int32_t i = find(status.watchpoints, status.watchCount, address);
    if (i < 0) return setWatch(cpu, address, address, Expression{});
    dropWatch(cpu, i);
    status.full = DebugStatus::Stop::None;
    return true;
}

bool Debugger::setBreak(std::uint16_t address, const Expression& condition) {
    std::int32_t i = find(status.breakpoints, status.breakCount, address);
    if (i < 0) {
        if (status.breakCount == DebugStatus::maxPoints)
            return refuse(DebugStatus::Stop::Break, address);
        i = status.breakCount++;
        status.breakpoints[static_cast<std::size_t>(i)] = address;
    }
    status.full = DebugStatus::Stop::None;
    breakIf[static_cast<std::size_t>(i)] = condition;
    breakAt[address] = static_cast<std::uint8_t>(i + 1);
    return true;
}

bool Debugger::setWatch(Mc6802& cpu, std::uint16_t first, std::uint16_t last,
                        const Expression& condition) {
    std::int32_t i = find(status.watchpoints, status.watchCount, first);
    if (i < 0) {
        if (status.watchCount == DebugStatus::maxPoints)
            return refuse(DebugStatus::Stop::Watch, first);
        i = status.watchCount++;
        status.watchpoints[static_cast<std::size_t>(i)] = first;
    }
    status.full = DebugStatus::Stop::None;
    status.watchEnds[static_cast<std::size_t>(i)] = last;
    watchIf[static_cast<std::size_t>(i)] = condition;
    markWatches(cpu);
    return true;
}

void Debugger::dropBreak(std::int32_t index) {
    auto& points = status.breakpoints;
    breakAt[points[static_cast<std::size_t>(index)]] = 0;
    for (auto j = static_cast<std::size_t>(index) + 1;
         j < static_cast<std::size_t>(status.breakCount); ++j) {
        points[j - 1] = points[j];
        breakIf[j - 1] = breakIf[j];
        breakAt[points[j - 1]] = static_cast<std::uint8_t>(j);
    }
    --status.breakCount;
}

void Debugger::dropWatch(Mc6802& cpu, std::int32_t index) {
    for (auto j = static_cast<std::size_t>(index) + 1;
         j < static_cast<std::size_t>(status.watchCount); ++j) {
        status.watchpoints[j - 1] = status.watchpoints[j];
        status.watchEnds[j - 1] = status.watchEnds[j];
        watchIf[j - 1] = watchIf[j];
    }
    --status.watchCount;
    markWatches(cpu);
}

void Debugger::remove(Mc6802& cpu, std::uint16_t address) {
    if (const std::int32_t i = find(status.breakpoints, status.breakCount, address); i >= 0)
        dropBreak(i);
    if (const std::int32_t i = find(status.watchpoints, status.watchCount, address); i >= 0)
        dropWatch(cpu, i);
    status.full = DebugStatus::Stop::None;
}

void Debugger::removeAll(Mc6802& cpu) {
    while (status.breakCount > 0)
        dropBreak(status.breakCount - 1);
    status.watchCount = 0;
    markWatches(cpu);
    status.full = DebugStatus::Stop::None;
}

void Debugger::markWatches(Mc6802& cpu) const {
    // Outside the write window nothing is ever written: such bytes are never marked.
    for (std::uint8_t& mark : cpu.watched)
        mark &= static_cast<std::uint8_t>(~Mc6802::watchMark); // the history's marks stay
    for (std::size_t i = 0; i < static_cast<std::size_t>(status.watchCount); ++i)
        for (std::uint32_t a = status.watchpoints[i];
             a <= status.watchEnds[i] && a < cpu.watched.size(); ++a)
            cpu.watched[a] |= Mc6802::watchMark;
}

bool Debugger::watchHolds(const Mc6802& cpu) const {
    const auto address = static_cast<std::uint32_t>(cpu.watchHit);
    for (std::size_t i = 0; i < static_cast<std::size_t>(status.watchCount); ++i)
        if (status.watchpoints[i] <= address && address <= status.watchEnds[i] &&
            holds(watchIf[i], cpu))
            return true;
    return false;
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
        if (const std::uint8_t mark = breakAt[pc];
            mark != 0 && pc != resumeAt && !cpu.waiting && holds(breakIf[mark - 1u], cpu)) {
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
        if (cpu.watchHit >= 0 && watchHolds(cpu)) {
            status.stop = DebugStatus::Stop::Watch;
            status.stopAddress = static_cast<std::uint16_t>(cpu.watchHit);
            status.before = cpu.watchBefore;
            status.after = cpu.memory[status.stopAddress];
            cpu.watchHit = -1;
            runs = false;
            break;
        }
        if (goal == Goal::Reach && cpu.PC == goalPc && !cpu.waiting) {
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
