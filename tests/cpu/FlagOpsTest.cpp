#include "tests/support/InstructionSet.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

// Each flag operation through every instruction that uses it: {op, a, m, CC, a after, CC after}
// (C 01, V 02, Z 04, N 08; also run with I, H, bits 6-7 set, which stay). a is the register, or
// the byte of a memory form (neg $10,x); operand m is at 0x0040 however addressed. Unlike the
// published rules V is never computed, shifts and NEG leave C, LSR leaves N, CLR changes only Z.
TEST(FlagOps, EveryDataInstructionAppliesItsOperation) {
    struct Row {
        std::string op;
        std::uint8_t a, m, ccIn, result, ccOut;
    };
    const Row rows[] = {
        {"add", 0xFF, 0x01, 0x00, 0x00, 0x05}, {"add", 0x7F, 0x01, 0x00, 0x80, 0x08},
        {"add", 0x01, 0x01, 0x03, 0x02, 0x02}, {"adc", 0x10, 0x20, 0x01, 0x31, 0x00},
        {"adc", 0xFF, 0x00, 0x01, 0x00, 0x05}, {"adc", 0xFF, 0x00, 0x00, 0xFF, 0x08},
        {"sub", 0x10, 0x20, 0x00, 0xF0, 0x09}, {"sub", 0x55, 0x55, 0x0B, 0x00, 0x06},
        {"sub", 0x20, 0x10, 0x01, 0x10, 0x00}, {"sbc", 0x00, 0xFF, 0x01, 0x00, 0x05},
        {"sbc", 0x10, 0x10, 0x01, 0xFF, 0x09}, {"sbc", 0x10, 0x0F, 0x01, 0x00, 0x04},
        {"cmp", 0x10, 0x20, 0x02, 0x10, 0x0B}, {"cmp", 0x55, 0x55, 0x09, 0x55, 0x04},
        {"and", 0xF0, 0x3C, 0x03, 0x30, 0x03}, {"and", 0xF0, 0x0F, 0x08, 0x00, 0x04},
        {"or", 0x80, 0x01, 0x05, 0x81, 0x09},  {"eor", 0x5A, 0x5A, 0x0B, 0x00, 0x07},
        {"neg", 0x01, 0x00, 0x00, 0xFF, 0x08}, {"neg", 0x00, 0x00, 0x01, 0x00, 0x05},
        {"neg", 0x80, 0x00, 0x02, 0x80, 0x0A}, {"com", 0x00, 0x00, 0x06, 0xFF, 0x09},
        {"com", 0xFF, 0x00, 0x00, 0x00, 0x05}, {"inc", 0x7F, 0x00, 0x00, 0x80, 0x08},
        {"inc", 0xFF, 0x00, 0x01, 0x00, 0x05}, {"dec", 0x00, 0x00, 0x04, 0xFF, 0x08},
        {"dec", 0x01, 0x00, 0x08, 0x00, 0x04}, {"asl", 0x80, 0x00, 0x00, 0x00, 0x04},
        {"asl", 0x40, 0x00, 0x01, 0x80, 0x09}, {"lsr", 0x01, 0x00, 0x09, 0x00, 0x0D},
        {"lsr", 0x80, 0x00, 0x04, 0x40, 0x00}, {"ror", 0x01, 0x00, 0x00, 0x00, 0x05},
        {"ror", 0x02, 0x00, 0x03, 0x81, 0x0A}, {"lda", 0x55, 0x80, 0x07, 0x80, 0x0B},
        {"lda", 0x55, 0x00, 0x0A, 0x00, 0x06}, {"sta", 0x00, 0x99, 0x0B, 0x00, 0x05},
        {"sta", 0x80, 0x99, 0x02, 0x80, 0x08}, {"clr", 0x55, 0x00, 0x0B, 0x00, 0x0F},
        {"clr", 0x55, 0x00, 0x00, 0x00, 0x04}, {"tst", 0x80, 0x00, 0x07, 0x80, 0x0A},
        {"tst", 0x00, 0x00, 0x09, 0x00, 0x04},
    };
    std::array<bool, 256> seen{};
    for (const Row& row : rows) {
        for (int op = 0; op < 256; ++op) {
            using M = AddrMode;
            const Instruction& is = instructionSet()[op];
            const char last = is.mnemonic.empty() ? ' ' : is.mnemonic.back();
            const bool onA = last == 'a', onB = last == 'b', onReg = onA || onB;
            if (is.mnemonic.substr(0, is.mnemonic.size() - onReg) != row.op) continue;
            seen[op] = true;
            const std::uint8_t byte1 = is.mode == M::Immediate8 ? row.m
                                       : is.mode == M::Indexed  ? 0x10
                                       : is.mode == M::Extended ? 0x00
                                                                : 0x40;
            const bool reads = row.op != "sta" && row.op != "clr";
            const bool writes = !onReg || row.op == "sta";
            for (std::uint8_t high : {0x00, 0xF0}) {
                const std::uint8_t ccIn = row.ccIn | high, ccOut = row.ccOut | high, other = 0xC3;
                SCOPED_TRACE(testing::Message()
                             << is.mnemonic << " CC " << std::hex << +ccIn << " a " << +row.a);
                Machine m;
                m.load(0x0100, {static_cast<std::uint8_t>(op), byte1, 0x40});
                m.memory[0x0040] = onReg ? row.m : row.a;
                m.setRegs({onA ? row.a : other, onB ? row.a : other, ccIn, 0x0030, 0x0080, 0x0100});
                EXPECT_TRUE(m.cpu.step());
                EXPECT_EQ(m.regs(),
                          (Regs{onA ? row.result : other, onB ? row.result : other, ccOut, 0x0030,
                                0x0080, m.cpu.PC})); // PC: checked with the dispatch
                // Extended read-modify-write fetches its address bytes a second time to write.
                const bool refetch = is.mode == M::Extended && !onReg && reads;
                EXPECT_EQ(m.heat[0x0101], is.mode == M::Inherent ? 0u : refetch ? 100u : 50u);
                if (is.mode == M::Inherent || is.mode == M::Immediate8) continue;
                EXPECT_EQ(m.memory[0x0040], writes ? row.result : row.m);
                EXPECT_EQ(m.heat[0x0040], 50u * (reads + writes));
            }
        }
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 18 + 53 + 12);
}
