#pragma once

#include "cpu/Board.h"
#include "debug/DebugStatus.h"

#include <cstdint>

// A private copy of everything the debugger screen draws, taken once per frame while the
// audio thread is held off, so that drawing never races with the running processor.
struct CpuSnapshot : Board {
    std::int32_t editCursor = 0;
    std::int32_t speed = 0;       // cycles per sample
    std::uint16_t memoryBase = 0; // the RAM panel's first address
    DebugStatus debug;            // breakpoints, watchpoints, the last stop; the App copies it

    // Copies registers, memory, heat map, cursor and speed from the live processor.
    void capture(const Mc6802& live, std::int32_t liveEditCursor, std::int32_t liveSpeed = 0) {
        copyFrom(live);
        editCursor = liveEditCursor;
        speed = liveSpeed;
    }
};
