#include "cpu/OpcodeTable.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

// Every one of the 256 byte values either executes as its table row says (length and
// cycles) or takes the skip path of one byte and one cycle.
TEST(OpcodeTable, EveryByteExecutesAsItsRowSays) {
    for (int op = 0; op < 256; ++op) {
        Machine m;
        m.cpu.X = 0x0100;
        m.cpu.SP = 0x007F;
        m.program(0x0200, {static_cast<std::uint8_t>(op), 0x00, 0x00});
        const OpcodeInfo& info = opcodeTable[op];
        SCOPED_TRACE(testing::Message() << "opcode 0x" << std::hex << op);

        const std::uint64_t before = m.cpu.cycleCount;
        const bool executed = m.cpu.step();
        EXPECT_EQ(executed, info.implemented());
        EXPECT_EQ(m.cpu.cycleCount - before, info.cycles);
        if (!info.setsPc) {
            EXPECT_EQ(m.cpu.PC, 0x0200 + info.length);
        }
        if (!info.implemented()) {
            EXPECT_EQ(info.length, 1);
            EXPECT_EQ(info.cycles, 1);
        }
    }
}

TEST(OpcodeTable, LengthFollowsMode) {
    for (const OpcodeInfo& info : opcodeTable)
        if (info.implemented()) {
            EXPECT_EQ(info.length, instructionLength(info.mode)) << info.mnemonic;
        }
    EXPECT_EQ(opcodeTable[0xCE].length, 3);  // LDX #
    EXPECT_EQ(opcodeTable[0x8D].length, 2);  // BSR
    EXPECT_EQ(opcodeTable[0x39].cycles, 5);  // RTS
    EXPECT_FALSE(opcodeTable[0xC4].listed);  // executed, not disassembled
    EXPECT_STREQ(opcodeTable[0x9A].mnemonic, "ora");
}
