#pragma once

#include "cpu/AddrMode.h"

#include <cstdint>

// One row of the opcode table: everything that execution and disassembly need to know
// about one opcode byte. A row without a mnemonic is an opcode the processor skips.
struct OpcodeInfo {
    const char* mnemonic = nullptr;  // lower case, as the disassembler prints it
    AddrMode mode = AddrMode::Inherent;
    std::uint8_t length = 1;         // bytes, opcode included
    std::uint8_t cycles = 1;         // 1 for a skipped opcode
    bool listed = false;             // the disassembler shows it by name
    bool setsPc = false;             // branches, jumps, calls and returns load PC themselves

    constexpr bool implemented() const { return mnemonic != nullptr; }
};
