#pragma once

#include <array>
#include <cstdint>

// What the debugger shows of the stop rules: the breakpoints and watchpoints that are set,
// why the processor last stopped by itself, and where the current run began. The audio
// thread keeps it (inside its Debugger); the main thread copies it with the snapshot.
struct DebugStatus {
    static constexpr int maxPoints = 8;

    // Why the processor stopped itself: a breakpoint (before the instruction at address) or
    // a watchpoint (after a write to address that replaced before with after).
    enum class Stop : std::uint8_t { None, Break, Watch };
    // What a watchpoint watches: data writes, data reads, or both (bits of a mask).
    enum class Access : std::uint8_t { Write = 1, Read = 2, ReadWrite = 3 };

    std::array<std::uint16_t, maxPoints> breakpoints{}; // the first breakCount, in the order set
    std::int32_t breakCount = 0;
    std::array<std::uint16_t, maxPoints> watchpoints{};
    std::array<std::uint16_t, maxPoints> watchEnds{}; // each watchpoint's last byte
    std::int32_t watchCount = 0;
    std::array<Access, maxPoints> watchAccess{};
    Stop stop = Stop::None; // None again once the processor runs or steps
    std::uint16_t stopAddress = 0;
    std::uint8_t before = 0;
    std::uint8_t after = 0;
    bool stopRead = false; // a watch stop by a read of stopAddress, which held before
    // The list that refused the last point set (all 8 taken) and its address; None once a
    // point is set or cleared again.
    Stop full = Stop::None;
    std::uint16_t fullAddress = 0;
    // The cycle count at which the processor last started running or took a step: the
    // cycles since then are how long the last run (or the current one) took.
    std::uint64_t runStart = 0;
    // An interrupt request while the program masks interrupts is dropped (and counted), or
    // with irqHold kept, one at most, until the program clears I.
    bool irqHold = false;
    bool irqHeld = false;
    std::uint32_t irqDropped = 0; // since the last reset
    // The steps that back can undo, as the audio thread last saw them.
    std::uint64_t history = 0;

    bool isBreakpoint(std::uint16_t address) const {
        for (std::int32_t i = 0; i < breakCount; ++i)
            if (breakpoints[static_cast<std::size_t>(i)] == address) return true;
        return false;
    }
};
