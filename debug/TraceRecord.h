#pragma once

#include "cpu/Mc6802.h"

#include <cstdint>

// One executed instruction, as the audio thread hands it to the trace writer: the bytes it
// was made of, where, and the registers and cycle count after it. Or, with interrupt set, an
// interrupt entry: pc is where the routine begins, from the instruction it came before.
struct TraceRecord {
    std::uint64_t cycles = 0; // cycle count after the instruction
    std::uint16_t pc = 0;     // address of its first byte
    std::uint16_t x = 0;
    std::uint16_t sp = 0;
    std::uint8_t bytes[3]{}; // memory at pc, pc+1, pc+2 before it ran
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    std::uint8_t cc = 0;
    InstructionSet set = InstructionSet::Board; // which table decodes bytes
    bool interrupt = false;
    std::uint16_t from = 0;
};
