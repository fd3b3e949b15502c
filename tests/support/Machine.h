#pragma once

#include "cpu/Board.h"

#include <cstdint>
#include <initializer_list>
#include <tuple>

// A board for tests, with bytes placed straight into memory (no heat).
struct Machine : Board {
    void load(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes)
            memory[address++] = b;
    }
    // Places a program and points PC at it.
    void program(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        load(address, bytes);
        cpu.PC = address;
    }
};

// The registers, to compare whole processor states at once.
inline auto registers(const Mc6802& c) {
    return std::tuple(+c.A, +c.B, +c.CC, c.X, c.PC, c.SP);
}
