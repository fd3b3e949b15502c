#include "debug/Debugger.h"

#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"
#include "debug/DataReads.h"

#include <utility>

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

bool covers(DebugStatus::Access access, DebugStatus::Access wanted) {
    return (static_cast<unsigned>(access) & static_cast<unsigned>(wanted)) != 0;
}

// The registers after an instruction or an interrupt entry, into its trace record.
void takeRegisters(TraceRecord& r, const Mc6802& cpu) {
    r.cycles = cpu.cycleCount;
    r.x = cpu.X;
    r.sp = cpu.SP;
    r.a = cpu.A;
    r.b = cpu.B;
    r.cc = cpu.CC;
    r.set = cpu.instructionSet;
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
    breakGate[static_cast<std::size_t>(i)] = condition.gate();
    breakAt[address] = static_cast<std::uint8_t>(i + 1);
    return true;
}

bool Debugger::setWatch(Mc6802& cpu, std::uint16_t first, std::uint16_t last,
                        const Expression& condition, DebugStatus::Access access) {
    std::int32_t i = find(status.watchpoints, status.watchCount, first);
    if (i < 0) {
        if (status.watchCount == DebugStatus::maxPoints)
            return refuse(DebugStatus::Stop::Watch, first);
        i = status.watchCount++;
        status.watchpoints[static_cast<std::size_t>(i)] = first;
    }
    status.full = DebugStatus::Stop::None;
    status.watchEnds[static_cast<std::size_t>(i)] = last;
    status.watchAccess[static_cast<std::size_t>(i)] = access;
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
        breakGate[j - 1] = breakGate[j];
        breakAt[points[j - 1]] = static_cast<std::uint8_t>(j);
    }
    --status.breakCount;
}

void Debugger::dropWatch(Mc6802& cpu, std::int32_t index) {
    for (auto j = static_cast<std::size_t>(index) + 1;
         j < static_cast<std::size_t>(status.watchCount); ++j) {
        status.watchpoints[j - 1] = status.watchpoints[j];
        status.watchEnds[j - 1] = status.watchEnds[j];
        status.watchAccess[j - 1] = status.watchAccess[j];
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

void Debugger::markWatches(Mc6802& cpu) {
    // Outside the write window nothing is ever written: such bytes are never marked.
    cpu.watched.fill(0);
    readWatches = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(status.watchCount); ++i) {
        if (covers(status.watchAccess[i], DebugStatus::Access::Read)) ++readWatches;
        if (!covers(status.watchAccess[i], DebugStatus::Access::Write)) continue;
        for (std::uint32_t a = status.watchpoints[i];
             a <= status.watchEnds[i] && a < cpu.watched.size(); ++a)
            cpu.watched[a] = 1;
    }
}

bool Debugger::watchHolds(const Mc6802& cpu, std::uint32_t address,
                          DebugStatus::Access access) const {
    for (std::size_t i = 0; i < static_cast<std::size_t>(status.watchCount); ++i)
        if (status.watchpoints[i] <= address && address <= status.watchEnds[i] &&
            covers(status.watchAccess[i], access) && holds(watchIf[i], cpu))
            return true;
    return false;
}

bool Debugger::readWatched(std::uint16_t first, std::uint8_t count) const {
    for (std::uint8_t k = 0; k < count; ++k) {
        const auto address = static_cast<std::uint16_t>(first + k);
        for (std::size_t i = 0; i < static_cast<std::size_t>(status.watchCount); ++i)
            if (status.watchpoints[i] <= address && address <= status.watchEnds[i] &&
                covers(status.watchAccess[i], DebugStatus::Access::Read))
                return true;
    }
    return false;
}

bool Debugger::writeStops(Mc6802& cpu) {
    const std::int32_t hit = std::exchange(cpu.watchHit, -1);
    if (hit < 0 || !watchHolds(cpu, static_cast<std::uint32_t>(hit), DebugStatus::Access::Write))
        return false;
    status.stop = DebugStatus::Stop::Watch;
    status.stopRead = false;
    status.stopAddress = static_cast<std::uint16_t>(hit);
    status.before = cpu.watchBefore;
    status.after = cpu.memory[status.stopAddress];
    return true;
}

bool Debugger::readStops(const Mc6802& cpu, DataReads reads, const std::uint8_t* bytes) {
    for (std::uint8_t k = 0; k < reads.count; ++k) {
        const auto address = static_cast<std::uint16_t>(reads.first + k);
        if (!watchHolds(cpu, address, DebugStatus::Access::Read)) continue;
        status.stop = DebugStatus::Stop::Watch;
        status.stopRead = true;
        status.stopAddress = address;
        status.before = bytes[k];
        status.after = cpu.memory[address];
        return true;
    }
    return false;
}

void Debugger::holdInterrupts(bool hold) {
    if (!hold && status.irqHeld) {
        status.irqHeld = false;
        ++status.irqDropped;
    }
    status.irqHold = hold;
}

void Debugger::interrupt(Mc6802& cpu, TraceRing* trace) {
    if ((cpu.CC & Mc6802::flagI) == 0) {
        enterInterrupt(cpu, trace);
        flush(trace);
    } else if (status.irqHold && !status.irqHeld) {
        status.irqHeld = true;
    } else {
        ++status.irqDropped; // one held already stands for it, or none is kept
    }
}

void Debugger::enterInterrupt(Mc6802& cpu, TraceRing* trace) {
    const std::uint16_t from = cpu.PC;
    cpu.irq();
    if (trace == nullptr) return;
    TraceRecord& r = batch[batched];
    r = TraceRecord{};
    r.interrupt = true;
    r.from = from;
    r.pc = cpu.PC;
    takeRegisters(r, cpu);
    if (++batched == traceBatch) flush(trace);
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

std::uint8_t Debugger::execute(Mc6802& cpu, TraceRing* trace) {
    if (trace == nullptr) { // the one-instruction loop's common case: no record to fill
        const std::uint8_t opcode = cpu.memory[cpu.PC];
        cpu.step();
        return opcode;
    }
    // A wait after WAI is no instruction; the condition is taken before the instruction.
    const bool traced = !cpu.waiting && holds(traceIf, cpu);
    TraceRecord& r = batch[batched];
    r.pc = cpu.PC;
    for (int i = 0; i < 3; ++i)
        r.bytes[i] = cpu.memory[static_cast<std::uint16_t>(r.pc + i)];
    cpu.step();
    if (traced) {
        r.interrupt = false;
        takeRegisters(r, cpu);
        ++batched;
    }
    return r.bytes[0];
}

void Debugger::flush(TraceRing* trace) {
    if (trace != nullptr && batched != 0) trace->push(batch.data(), batched);
    batched = 0;
}

void Debugger::step(Mc6802& cpu, TraceRing* trace) {
    takeHeld(cpu, trace);
    if (batched == traceBatch) flush(trace);
    execute(cpu, trace);
    if (batched == traceBatch) flush(trace);
    takeHeld(cpu, trace);
    flush(trace);
}

bool Debugger::runBetweenBreaks(Mc6802& cpu, std::uint64_t target) {
    while (cpu.cycleCount < target) {
        if (breakHolds(cpu)) {
            status.stop = DebugStatus::Stop::Break;
            status.stopAddress = cpu.PC;
            return false;
        }
        cpu.watchHit = -1;
        cpu.runUntil(target, breakAt.data(), breakGate.data());
        if (writeStops(cpu)) return false;
    }
    return true;
}

bool Debugger::runUntil(Mc6802& cpu, std::uint64_t target, TraceRing* trace) {
    if (trace == nullptr && readWatches == 0 && goal == Goal::None && !status.irqHeld &&
        resumeAt < 0)
        return runBetweenBreaks(cpu, target);
    bool runs = true;
    while (cpu.cycleCount < target) {
        takeHeld(cpu, trace);
        if (batched == traceBatch) flush(trace);
        if (breakHolds(cpu)) {
            status.stop = DebugStatus::Stop::Break;
            status.stopAddress = cpu.PC;
            runs = false;
            break;
        }
        resumeAt = -1;
        const bool waited = cpu.waiting;
        DataReads reads;
        std::array<std::uint8_t, 8> readBytes; // as they were read
        if (readWatches != 0) {
            reads = DataReads::of(cpu);
            if (!readWatched(reads.first, reads.count)) reads.count = 0;
            for (std::uint8_t k = 0; k < reads.count; ++k)
                readBytes[k] = cpu.memory[static_cast<std::uint16_t>(reads.first + k)];
        }
        cpu.watchHit = -1;
        const std::uint8_t opcode = execute(cpu, trace);
        if (batched == traceBatch) flush(trace);
        if (writeStops(cpu)) {
            runs = false;
            break;
        }
        if (reads.count != 0 && readStops(cpu, reads, readBytes.data())) {
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
