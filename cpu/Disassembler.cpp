#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"

#include <cstddef>
#include <cstdio>

// One line of 6800 assembler text for the instruction at address. Reads memory directly:
// no heat bump, no register change.
std::uint32_t Mc6802::disassemble(std::uint16_t address, char* text) const {
    // Operand bytes wrap from 0xFFFF to 0x0000.
    const std::uint8_t bytes[3] = {memory[address], memory[static_cast<std::uint16_t>(address + 1)],
                                   memory[static_cast<std::uint16_t>(address + 2)]};
    return disassembleBytes(instructionSet, address, bytes, text);
}

// The longest text, "ldx  #$f800", has 11 characters.
std::uint32_t Mc6802::disassembleBytes(InstructionSet set, std::uint16_t address,
                                       const std::uint8_t* bytes, char* text) {
    constexpr std::size_t textSize = 12;
    const std::uint8_t opcode = bytes[0];
    const OpcodeInfo& info = opcodeTableFor(set)[opcode];
    if (!info.listed) {
        std::snprintf(text, textSize, "? op: %02x", opcode);
        return address + 1u;
    }

    // 16-bit operands are high byte first.
    const unsigned byte1 = bytes[1];
    const unsigned byte2 = bytes[2];
    const unsigned word = byte1 << 8 | byte2;
    const char* name = info.mnemonic;

    switch (info.mode) {
    case AddrMode::Inherent: std::snprintf(text, textSize, "%s", name); break;
    case AddrMode::Relative: // the raw displacement, not the target
    case AddrMode::Direct: std::snprintf(text, textSize, "%-5s$%02x", name, byte1); break;
    case AddrMode::Immediate8: std::snprintf(text, textSize, "%-5s#$%02x", name, byte1); break;
    case AddrMode::Immediate16: std::snprintf(text, textSize, "%-5s#$%04x", name, word); break;
    case AddrMode::Indexed: std::snprintf(text, textSize, "%-5s$%02x,x", name, byte1); break;
    case AddrMode::Extended: std::snprintf(text, textSize, "%-5s$%04x", name, word); break;
    }
    return address + std::uint32_t{info.length()};
}
