#pragma once

#include <cstdint>

struct Mc6802;

// The data bytes that the instruction at PC will read when it runs: its memory operand
// (direct, indexed or extended; two bytes for LDX, LDS and CPX) or what it pulls from the
// stack (PUL one byte, RTS two, RTI seven). Never the instruction's own bytes nor a vector.
// Worked out from the opcode table's row and the registers, before the instruction runs.
struct DataReads {
    std::uint16_t first = 0;
    std::uint8_t count = 0; // bytes from first on, wrapping at 0xFFFF; 0: none

    static DataReads of(const Mc6802& cpu);
};
