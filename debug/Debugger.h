#pragma once

#include "cpu/Mc6802.h"
#include "debug/DataReads.h"
#include "debug/DebugStatus.h"
#include "debug/Expression.h"
#include "debug/TraceRing.h"

#include <array>
#include <cstdint>

// The stop rules that the audio thread applies while it runs the processor: breakpoints,
// watchpoints, the goals of step over and step out, and the instruction trace. With none of
// them in force the audio clock runs the processor at full speed through Mc6802::runUntil;
// otherwise runUntil here goes one instruction at a time. Audio thread only; the main
// thread sees status through the snapshot.
class Debugger {
  public:
    // Records wait here and go to the trace ring in batches.
    static constexpr std::size_t traceBatch = 64;

    DebugStatus status;

    // G and W: sets the point, or clears it when it is set. Setting a ninth does nothing but
    // note the refusal in status, and returns false.
    bool toggleBreak(std::uint16_t address);
    bool toggleWatch(Mc6802& cpu, std::uint16_t address);
    // The command line's points. setBreak sets a breakpoint at address, or replaces the
    // condition of the one there; it stops only while condition (when not empty) is
    // non-zero. setWatch sets a write watchpoint on first..last, or replaces the one that
    // starts at first; it stops only while condition holds after the write (or, watching
    // reads, after the instruction that read). A ninth is refused as G and W refuse it.
    bool setBreak(std::uint16_t address, const Expression& condition);
    bool setWatch(Mc6802& cpu, std::uint16_t first, std::uint16_t last, const Expression& condition,
                  DebugStatus::Access access = DebugStatus::Access::Write);
    // Clears the breakpoint at address and the watchpoint that starts there.
    void remove(Mc6802& cpu, std::uint16_t address);
    // Clears every breakpoint and watchpoint.
    void removeAll(Mc6802& cpu);
    // go ADDR: the run stops once, before the instruction at address.
    void runTo(std::uint16_t address) {
        goal = Goal::Reach;
        goalPc = address;
    }

    // O, with the processor stopped: a JSR or BSR at PC becomes a goal (true: run until it
    // has returned to the instruction after it); anything else is stepped (false).
    bool stepOver(Mc6802& cpu);
    // U: run until an RTS or RTI returns from the routine that PC is in.
    void stepOut(const Mc6802& cpu);
    // The processor was stopped or stepped by the user: no goal any more.
    void cancelGoal() { goal = Goal::None; }
    // The processor was reset: no goal, and the last stop's reason no longer holds. The
    // breakpoints and watchpoints stay.
    void processorReset() {
        goal = Goal::None;
        status.stop = DebugStatus::Stop::None;
        status.irqHeld = false;
        status.irqDropped = 0;
    }

    // An interrupt request (I, S, send): taken now unless the program masks interrupts;
    // then dropped, or held until it unmasks. An interrupt taken is marked in the trace.
    void interrupt(Mc6802& cpu, TraceRing* trace);
    // irq hold or drop; going back to drop drops a request held.
    void holdInterrupts(bool hold);
    // trace on ... if condition: only the instructions before which condition holds are
    // traced (empty: all). Set by the main thread with the audio device locked.
    void traceWhen(const Expression& condition) { traceIf = condition; }

    // A step or a start of running begins a new run; its stop event is forgotten and a
    // breakpoint at PC does not stop it before its first instruction.
    void started(const Mc6802& cpu);

    // Whether runUntil is needed: some stop rule is in force or a trace is taken.
    bool checking(const TraceRing* trace) const {
        return status.breakCount != 0 || status.watchCount != 0 || goal != Goal::None ||
               trace != nullptr || status.irqHeld;
    }

    // Runs the processor while its cycle count is below target, as Mc6802::runUntil does,
    // applying the stop rules and tracing into trace (when not null). Returns false when a
    // rule stopped the processor; status then says why.
    bool runUntil(Mc6802& cpu, std::uint64_t target, TraceRing* trace);
    // Steps once (Space, O), tracing it like any instruction run.
    void step(Mc6802& cpu, TraceRing* trace);

  private:
    enum class Goal : std::uint8_t { None, Return, Out, Reach };

    bool refuse(DebugStatus::Stop list, std::uint16_t address);
    void dropBreak(std::int32_t index);
    void dropWatch(Mc6802& cpu, std::int32_t index);
    // Marks in cpu.watched the bytes of the write window that some watchpoint covers.
    void markWatches(Mc6802& cpu);
    // Whether a watchpoint with access covering address has its condition met.
    bool watchHolds(const Mc6802& cpu, std::uint32_t address, DebugStatus::Access access) const;
    // Whether a read watchpoint covers a byte of first..first+count-1.
    bool readWatched(std::uint16_t first, std::uint8_t count) const;
    // After an instruction: stops when it noted a write (cpu.watchHit, cleared here) that a
    // write watchpoint whose condition holds covers.
    bool writeStops(Mc6802& cpu);
    // After the instruction: stops at the first byte it read (bytes: their values then)
    // that a read watchpoint whose condition holds covers.
    bool readStops(const Mc6802& cpu, DataReads reads, const std::uint8_t* bytes);
    // Only breakpoints and write watchpoints apply: the loop that runs the processor between
    // breakpoint addresses and watched writes.
    bool runBetweenBreaks(Mc6802& cpu, std::uint64_t target);
    bool breakHolds(const Mc6802& cpu) const {
        const std::uint8_t mark = breakAt[cpu.PC];
        // While waiting after WAI the instruction at PC is not next: an interrupt is.
        return mark != 0 && cpu.PC != resumeAt && !cpu.waiting && breakGate[mark - 1u].open(cpu) &&
               (breakIf[mark - 1u].empty() || breakIf[mark - 1u].evaluate(cpu) != 0);
    }
    // Executes one instruction and, with a trace, batches its record; returns its opcode.
    std::uint8_t execute(Mc6802& cpu, TraceRing* trace);
    // Enters the interrupt routine and marks it in the trace.
    void enterInterrupt(Mc6802& cpu, TraceRing* trace);
    // A held request is taken once the program has cleared I.
    void takeHeld(Mc6802& cpu, TraceRing* trace) {
        if (status.irqHeld && (cpu.CC & Mc6802::flagI) == 0) [[unlikely]] {
            status.irqHeld = false;
            enterInterrupt(cpu, trace);
        }
    }
    void flush(TraceRing* trace);

    // 1 + the index of the breakpoint at each address, 0 for none.
    std::array<std::uint8_t, 65536> breakAt{};
    // The conditions, by the index of their point in status, and for the breakpoints the
    // tests that rule a stop out inside Mc6802::runUntil.
    std::array<Expression, DebugStatus::maxPoints> breakIf{};
    std::array<StopGate, DebugStatus::maxPoints> breakGate{};
    std::array<Expression, DebugStatus::maxPoints> watchIf{};
    std::int32_t readWatches = 0; // of the watchpoints, those that watch reads
    Expression traceIf;
    Goal goal = Goal::None;
    std::uint16_t goalPc = 0;
    std::uint16_t goalSp = 0;
    std::int32_t resumeAt = -1; // a breakpoint here does not stop the run's first instruction
    std::array<TraceRecord, traceBatch> batch{};
    std::size_t batched = 0;
};
