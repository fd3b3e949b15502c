#pragma once

#include "cpu/Mc6802.h"

#include <cstdint>
#include <memory>

// A private copy of everything the debugger screen draws, taken once per frame while the
// audio thread is held off, so that drawing never races with the running processor.
struct CpuSnapshot {
    Mc6802 cpu; // registers as copied; memory and heat point at the copies below
    std::unique_ptr<std::uint8_t[]> memory;
    std::unique_ptr<std::uint32_t[]> heat;
    std::int32_t editCursor = 0;

    CpuSnapshot();
    // Copies registers, memory, heat map and cursor from the live processor.
    void capture(const Mc6802& live, std::int32_t liveEditCursor);
};
