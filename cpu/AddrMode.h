#pragma once

#include <cstdint>

// How an instruction finds its operand; also fixes the instruction's length.
enum class AddrMode : std::uint8_t {
    Inherent,    // no operand bytes
    Relative,    // signed 8-bit branch displacement
    Immediate8,  // the operand byte itself
    Immediate16, // the operand word itself, high byte first
    Direct,      // an address 0x00..0xFF
    Indexed,     // X plus an unsigned 8-bit offset
    Extended,    // a 16-bit address, high byte first
};

constexpr std::uint8_t instructionLength(AddrMode mode) {
    switch (mode) {
    case AddrMode::Inherent: return 1;
    case AddrMode::Immediate16:
    case AddrMode::Extended: return 3;
    case AddrMode::Relative:
    case AddrMode::Immediate8:
    case AddrMode::Direct:
    case AddrMode::Indexed: return 2;
    }
    return 1;
}
