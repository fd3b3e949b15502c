#pragma once

#include <cstddef>
#include <cstdint>

// The access heat of every address: 65,536 entries of 0 (cold) to 100 (just touched).
// The processor's bus bumps an entry on every access; the debugger screen cools them all
// by one per drawn frame.
struct HeatMap {
    static constexpr std::size_t size = 65536;
    static constexpr std::uint32_t max = 100;
    static constexpr std::uint32_t bumpStep = 50;

    // min(entry + 50, 100): two bumps saturate an entry.
    static void bump(std::uint32_t& entry) {
        entry = entry >= max - bumpStep ? max : entry + bumpStep;
    }
    // One frame of fading: down by one, never below zero.
    static void cool(std::uint32_t& entry) { entry = entry > 0 ? entry - 1 : 0; }
};
