#pragma once

#include "cpu/AddrMode.h"

#include <array>
#include <sstream>
#include <string>
#include <tuple>

// The instruction set typed from the manual apart from cpu/OpcodeTable.h, to hold execution and
// disassembly against. An opcode without a mnemonic is skipped as one byte and one cycle.
struct Instruction {
    std::string mnemonic;
    AddrMode mode = AddrMode::Inherent;
    unsigned length = 1, cycles = 1;
    const char* format = nullptr; // printf format of the listing: mnemonic, then the operand
    bool listed = false;          // andb # (c4) is executed but not listed
};

inline const std::array<Instruction, 256>& instructionSet() {
    // Mode, length, listing format, then "opcode mnemonic cycles" for each opcode.
    static const std::tuple<AddrMode, unsigned, const char*, const char*> groups[] = {
        {AddrMode::Inherent, 1, "%s",
         "01 nop 2 07 tpa 2 08 inx 4 09 dex 4 0c clc 2 0e cli 2 0f sei 2 10 sba 2 16 tab 2 "
         "17 tba 2 1b aba 2 32 pula 4 36 psha 4 39 rts 5 3b rti 10 40 nega 2 43 coma 2 44 lsra 2 "
         "46 rora 2 48 asla 2 4a deca 2 4c inca 2 4d tsta 2 4f clra 2 50 negb 2 53 comb 2 "
         "54 lsrb 2 56 rorb 2 58 aslb 2 5a decb 2 5c incb 2 5d tstb 2 5f clrb 2"},
        {AddrMode::Relative, 2, "%-5s$%02x",
         "20 bra 4 22 bhi 4 23 bls 4 24 bcc 4 25 bcs 4 26 bne 4 27 beq 4 2a bpl 4 2b bmi 4 "
         "8d bsr 8"},
        {AddrMode::Immediate8, 2, "%-5s#$%02x",
         "80 suba 2 81 cmpa 2 82 sbca 2 84 anda 2 86 ldaa 2 88 eora 2 89 adca 2 8b adda 2 "
         "c1 cmpb 2 c2 sbcb 2 c4 andb 2 c6 ldab 2 c8 eorb 2 cb addb 2"},
        {AddrMode::Immediate16, 3, "%-5s#$%04x", "8c cpx 3 8e lds 3 ce ldx 3"},
        {AddrMode::Direct, 2, "%-5s$%02x",
         "90 suba 3 91 cmpa 3 92 sbca 3 94 anda 3 96 ldaa 3 97 staa 4 98 eora 3 99 adca 3 "
         "9a ora 3 9b adda 3 9c cpx 4 d0 subb 3 d1 cmpb 3 d2 sbcb 3 d4 andb 3 d6 ldab 3 "
         "d7 stab 4 d8 eorb 3 db addb 3 de ldx 4 df stx 5"},
        {AddrMode::Indexed, 2, "%-5s$%02x,x",
         "60 neg 7 66 ror 7 6a dec 7 6e jmp 4 6f clr 7 a2 sbca 5 a4 anda 5 a6 ldaa 5 a7 staa 6 "
         "a8 eora 5 ab adda 5 ad jsr 8 e2 sbcb 5 e4 andb 5 e6 ldab 5 e7 stab 6 e8 eorb 5 "
         "ee ldx 6"},
        {AddrMode::Extended, 3, "%-5s$%04x",
         "70 neg 6 73 com 6 74 lsr 6 76 ror 6 7a dec 6 7c inc 6 7d tst 6 7e jmp 3 7f clr 6 "
         "b2 sbca 4 b4 anda 4 b6 ldaa 4 b7 staa 5 b8 eora 4 bd jsr 9 f2 sbcb 4 f4 andb 4 "
         "f6 ldab 4 f7 stab 5 f8 eorb 4"},
    };
    static const std::array<Instruction, 256> set = [] {
        std::array<Instruction, 256> s{};
        for (const auto& [mode, length, format, opcodes] : groups) {
            std::istringstream in(opcodes);
            unsigned op = 0, cycles = 0;
            std::string name;
            while (in >> std::hex >> op >> name >> std::dec >> cycles)
                s[op] = {name, mode, length, cycles, format, op != 0xC4};
        }
        return s;
    }();
    return set;
}
