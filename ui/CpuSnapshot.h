#pragma once

#include "cpu/Board.h"

#include <cstdint>

// A private copy of everything the debugger screen draws, taken once per frame while the
// audio thread is held off, so that drawing never races with the running processor.
struct CpuSnapshot : Board {
    std::int32_t editCursor = 0;

    // Copies registers, memory, heat map and cursor from the live processor.
    void capture(const Mc6802& live, std::int32_t liveEditCursor) {
        copyFrom(live);
        editCursor = liveEditCursor;
    }
};
