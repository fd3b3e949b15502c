#pragma once

#include "debug/DebugStatus.h"

#include <cstdint>
#include <string>

// What the debugger screen shows of the stop rules, left of the register panel above the
// "Memory Edit" help: the clock, why the processor stopped, the entry being typed, interrupt
// requests held or dropped, the trace, and the breakpoints and watchpoints. The App fills it
// every frame.
struct DebugPanel {
    static constexpr int x = 330;
    static constexpr int columns = 19; // x 330..481; the register panel starts at 490
    static constexpr int rows = 15;    // y 0..119; the help block starts at 128
    static constexpr int stopRow = 2;  // drawn in its own colour
    static constexpr int pointsPerRow = 4;

    std::uint64_t cycles = 0; // the processor's cycle count
    DebugStatus debug;
    char entry[16] = {};     // the address or byte being typed after G, W or S, as shown
    std::string traceName;   // e.g. the trace file; empty shows nothing
    std::string traceDetail; // e.g. its line count; empty shows nothing

    // Row `row` as exactly `columns` characters, blank-padded; nothing runs past its row.
    void format(int row, char (&out)[columns + 1]) const;
};
