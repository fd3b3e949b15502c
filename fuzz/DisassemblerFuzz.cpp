// Fuzzes the disassembler over an 80-line listing: each text printable, terminated within 12
// bytes and starting with its mnemonic; each next address the opcode's length on.
#include "cpu/Board.h"
#include "cpu/OpcodeTable.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {
Board board;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    std::fill(board.memory.begin(), board.memory.end(), in.u8());
    const std::uint16_t start = in.u16();
    const bool complete = in.u8() & 1;
    board.cpu.instructionSet = complete ? InstructionSet::Complete : InstructionSet::Board;
    for (std::uint16_t at = start; !in.empty();)
        board.memory[at++] = in.u8();
    const auto before = board.memory;
    const auto text = std::make_unique<char[]>(12); // exactly 12: ASan sees any overrun
    for (std::uint16_t line = 0, address = start; line < 80; ++line) {
        std::memset(text.get(), 'X', 12);
        const std::uint32_t next = board.cpu.disassemble(address, text.get());
        FUZZ_CHECK(std::memchr(text.get(), '\0', 12) != nullptr);
        const std::size_t length = std::strlen(text.get());
        FUZZ_CHECK(length >= 3 && std::all_of(&text[0], &text[length],
                                              [](char c) { return c >= ' ' && c <= '~'; }));
        const OpcodeInfo& info =
            (complete ? completeOpcodeTable : opcodeTable)[board.memory[address]];
        const char* name = info.listed ? info.mnemonic : "? op: ";
        FUZZ_CHECK(std::strncmp(text.get(), name, std::strlen(name)) == 0);
        FUZZ_CHECK(next == address + (info.listed ? info.length() : 1u));
        address = static_cast<std::uint16_t>(next);
    }
    FUZZ_CHECK(board.memory == before);
    return 0;
}
