#include "tests/support/Machine.h"

#include <gtest/gtest.h>

// A listing that runs off the top: after andb # (executed, but not listed) it resumes at the
// operand byte; operands wrap to 0x0000 and the last next address is not reduced.
TEST(Disassembler, ListingRunsOnAcrossTheTop) {
    Machine m;
    m.load(0xFFF5, {0xCE, 0xF8, 0x00, 0x9A, 0x10, 0xC4, 0x0F, 0x26, 0xF0, 0xCE, 0xAB, 0x5A});
    std::uint32_t address = 0xFFF5;
    char text[12];
    for (const char* expected :
         {"ldx  #$f800", "ora  $10", "? op: c4", "sei", "bne  $f0", "ldx  #$ab5a"}) {
        address = m.cpu.disassemble(static_cast<std::uint16_t>(address), text);
        EXPECT_STREQ(text, expected);
    }
    EXPECT_EQ(address, 0x10001u);
    m.memory[0xFFFF] = 0x86;
    EXPECT_EQ(m.cpu.disassemble(0xFFFF, text), 0x10001u);
    EXPECT_STREQ(text, "ldaa #$5a");
}
