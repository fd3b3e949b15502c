#pragma once

#include "cpu/HeatMap.h"
#include "cpu/Mc6802.h"

#include <cstdint>
#include <vector>

// The sound board: its 64 KiB address space, the access heat map and the processor wired to
// both. Whoever needs a processor (the App, the offline renderer, the debugger's snapshot, the
// tests) holds a Board rather than wiring arrays to an Mc6802 by hand.
struct Board {
    struct Unallocated {};
    static constexpr Unallocated unallocated{};

    Mc6802 cpu; // memory and heat point into the vectors below while they are allocated
    std::vector<std::uint8_t> memory;
    std::vector<std::uint32_t> heat;

    // Allocated and wired, everything zero.
    Board() { allocate(); }
    // Nothing allocated yet: the App allocates during its start-up.
    explicit Board(Unallocated) {}
    // The processor points into this board's own arrays, so a copy would share them.
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // 65,536 bytes of memory and as many heat entries, all zero, and the processor wired to
    // them. The registers are left as they are.
    void allocate();
    // Frees both arrays; the processor points nowhere until the next allocate.
    void release();

    // Takes over state's registers and cycle count; the processor stays wired to this board
    // and records into the history it recorded into, if any.
    void setState(const Mc6802& state);
    // setState, then copies memory and heat from the arrays that live points at.
    void copyFrom(const Mc6802& live);
};
