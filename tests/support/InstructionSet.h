#pragma once

#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// The instruction sets from the chip's measured opcodes, kept apart from cpu/OpcodeTable.h.
struct Instruction {
    std::string mnemonic; // empty: skipped as one byte and one cycle
    std::string form;     // of the operand: - #n8 #n16 d8 n8,X a16 r8
    unsigned cycles = 1, length = 1;
    bool listed = false; // andb # (c4) is executed but not listed
};

inline const std::array<Instruction, 256>& chipInstructionSet() {
    static const std::array<Instruction, 256> set = [] {
        std::array<Instruction, 256> chip{};
        std::ifstream file(std::filesystem::path(__FILE__).parent_path() /
                           "../data/mc6800-opcodes.tsv");
        for (std::string line; std::getline(file, line);) {
            std::istringstream row(line);
            unsigned op = 0;
            Instruction is;
            if (!(row >> std::hex >> op >> is.mnemonic >> is.form >> std::dec >> is.cycles >>
                  is.length))
                continue; // a comment
            for (char& c : is.mnemonic)
                c = static_cast<char>(std::tolower(c));
            is.listed = true;
            chip.at(op) = is;
        }
        return chip;
    }();
    return set;
}

inline const std::array<Instruction, 256>& instructionSet() {
    static const std::array<Instruction, 256> set = [] {
        std::array<Instruction, 256> chip = chipInstructionSet(), board{};
        chip[0xC4].listed = false;
        std::istringstream executed(
            "01 07 08 09 0c 0e 0f 10 16 17 1b 20 22 23 24 25 26 27 2a 2b 32 36 39 3b 40 43 44 46 "
            "48 4a 4c 4d 4f 50 53 54 56 58 5a 5c 5d 5f 60 66 6a 6e 6f 70 73 74 76 7a 7c 7d 7e 7f "
            "80 81 82 84 86 88 89 8b 8c 8d 8e 90 91 92 94 96 97 98 99 9a 9b 9c a2 a4 a6 a7 a8 ab "
            "ad b2 b4 b6 b7 b8 bd c1 c2 c4 c6 c8 cb ce d0 d1 d2 d4 d6 d7 d8 db de df e2 e4 e6 e7 "
            "e8 ee f2 f4 f6 f7 f8");
        for (unsigned op = 0; executed >> std::hex >> op;)
            board[op] = chip[op];
        if (board[0x9A].listed) board[0x9A].mnemonic = "ora"; // the board's listing: not oraa
        return board;
    }();
    return set;
}

// Fails the test where the opcode list cannot be read.
#define REQUIRE_INSTRUCTION_SET() ASSERT_FALSE(instructionSet()[0x01].mnemonic.empty())
