#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace {

struct Branch {
    std::uint8_t opcode;
    const char* name;
    std::function<bool(bool n, bool z, bool c)> taken;
};

const Branch kBranches[] = {
    {0x20, "bra", [](bool, bool, bool) { return true; }},
    {0x22, "bhi", [](bool, bool z, bool c) { return !c && !z; }},
    {0x23, "bls", [](bool, bool z, bool c) { return c || z; }},
    {0x24, "bcc", [](bool, bool, bool c) { return !c; }},
    {0x25, "bcs", [](bool, bool, bool c) { return c; }},
    {0x26, "bne", [](bool, bool z, bool) { return !z; }},
    {0x27, "beq", [](bool, bool z, bool) { return z; }},
    {0x2A, "bpl", [](bool n, bool, bool) { return !n; }},
    {0x2B, "bmi", [](bool n, bool, bool) { return n; }},
};

} // namespace

// Every branch under every combination of N, Z, V and C.
TEST(Branches, EachTestsItsCondition) {
    for (const Branch& b : kBranches) {
        for (int cc = 0; cc < 16; ++cc) {
            const bool c = cc & 0x01, z = cc & 0x04, n = cc & 0x08;
            Machine m;
            m.program(0x0200, {b.opcode, 0x10}); // b.. *+$12
            m.cpu.CC = static_cast<std::uint8_t>(cc);
            const bool taken = b.taken(n, z, c);
            EXPECT_EQ(m.run(), 4u) << b.name;
            EXPECT_EQ(m.cpu.PC, taken ? 0x0212 : 0x0202) << b.name << " cc " << cc;
            EXPECT_EQ(m.cpu.CC, cc) << b.name;
            // The offset is read only when the branch is taken.
            EXPECT_EQ(m.heat[0x0201], taken ? 50u : 0u) << b.name << " cc " << cc;
        }
    }
}

TEST(Branches, NotTakenBneSkipsItsOffset) {
    Machine m;
    m.program(0xF810, {0x26, 0x20}); // bne  *+$22
    m.cpu.CC = 0x04;
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.cpu.PC, 0xF812);
    EXPECT_EQ(m.heat[0xF811], 0u);
}

TEST(Branches, BranchToItselfSpins) {
    Machine m;
    m.program(0xF800, {0x20, 0xFE}); // here: bra here
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(m.run(), 4u);
        EXPECT_EQ(m.cpu.PC, 0xF800);
    }
}

TEST(Branches, OffsetsAreSignedAndWrap) {
    Machine m;
    m.program(0xF900, {0x27, 0x80}); // beq  *-$7e
    m.cpu.CC = 0x04;
    m.run();
    EXPECT_EQ(m.cpu.PC, 0xF882);

    m.program(0xFFF0, {0x20, 0x7F}); // bra past the top
    m.run();
    EXPECT_EQ(m.cpu.PC, 0x0071);
}

TEST(Subroutines, BsrPushesTheReturnAddressAndRtsPullsIt) {
    Machine m;
    m.program(0xF800, {0x8D, 0x10}); // bsr  sub
    m.load(0xF812, {0x39});          // sub: rts
    m.cpu.SP = 0x007F;
    EXPECT_EQ(m.run(), 8u);
    EXPECT_EQ(m.memory[0x007E], 0xF8);
    EXPECT_EQ(m.memory[0x007F], 0x02);
    EXPECT_EQ(m.cpu.SP, 0x007D);
    EXPECT_EQ(m.cpu.PC, 0xF812);
    EXPECT_EQ(m.run(), 5u);
    EXPECT_EQ(m.cpu.PC, 0xF802);
    EXPECT_EQ(m.cpu.SP, 0x007F);
}

TEST(Subroutines, JsrIndexedAndExtended) {
    Machine m;
    m.program(0xF900, {0xAD, 0x05}); // jsr  $05,x
    m.cpu.X = 0xFA00;
    m.cpu.SP = 0x007F;
    EXPECT_EQ(m.run(), 8u);
    EXPECT_EQ(m.cpu.PC, 0xFA05);
    EXPECT_EQ(m.cpu.SP, 0x007D);
    EXPECT_EQ(m.memory[0x007E], 0xF9);
    EXPECT_EQ(m.memory[0x007F], 0x02);

    Machine e;
    e.program(0xF900, {0xBD, 0xFB, 0x00}); // jsr  $fb00
    e.cpu.SP = 0x007F;
    EXPECT_EQ(e.run(), 9u);
    EXPECT_EQ(e.cpu.PC, 0xFB00);
    EXPECT_EQ(e.memory[0x007E], 0xF9);
    EXPECT_EQ(e.memory[0x007F], 0x03);
    EXPECT_EQ(e.heat[0xF901], 50u);
    EXPECT_EQ(e.heat[0xF902], 50u);
}

// A return address is one 16-bit write: it lands whole or not at all, and SP moves anyway.
TEST(Subroutines, PushesOutsideTheWindowAreLost) {
    struct Case {
        std::uint16_t sp, spAfter;
    };
    for (const Case c : {Case{0x0411, 0x040F}, Case{0x0000, 0xFFFE}}) {
        Machine m;
        m.program(0xF800, {0x8D, 0x00}); // bsr  *+2
        m.cpu.SP = c.sp;
        m.run();
        EXPECT_EQ(m.cpu.SP, c.spAfter);
        EXPECT_EQ(m.memory[0x0410], 0);
        EXPECT_EQ(m.memory[0xFFFF], 0);
        EXPECT_EQ(m.memory[0x0000], 0);
        EXPECT_EQ(m.heat[0x0410], 0u);
    }
    // With SP = 0x0410 the two bytes go to 0x040F and 0x0410, both inside.
    Machine m;
    m.program(0xF800, {0x8D, 0x00}); // bsr  *+2
    m.cpu.SP = 0x0410;
    m.run();
    EXPECT_EQ(m.memory[0x040F], 0xF8);
    EXPECT_EQ(m.memory[0x0410], 0x02);
    EXPECT_EQ(m.cpu.SP, 0x040E);
}

TEST(Stack, PshaAndPulaAroundTheWindowEdge) {
    Machine m;
    m.memory[0xFFFF] = 0x99;
    m.program(0xF800, {
                          0x36, // psha
                          0x36, // psha
                          0x32, // pula
                      });
    m.cpu.A = 0x42;
    m.cpu.SP = 0x0000;
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.memory[0x0000], 0x42);
    EXPECT_EQ(m.cpu.SP, 0xFFFF);
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.memory[0xFFFF], 0x99);
    EXPECT_EQ(m.cpu.SP, 0xFFFE);
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.cpu.A, 0x99);
    EXPECT_EQ(m.cpu.SP, 0xFFFF);
    EXPECT_EQ(m.cpu.PC, 0xF803);
}

TEST(Jumps, IndexedAndExtended) {
    Machine m;
    m.program(0xF800, {0x6E, 0xFF}); // jmp  $ff,x
    m.cpu.X = 0xFF80;
    m.cpu.CC = 0x2F;
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.cpu.PC, 0x007F); // X + offset wraps
    EXPECT_EQ(m.cpu.CC, 0x2F);

    m.program(0xF800, {0x7E, 0xF8, 0x01}); // jmp  $f801
    EXPECT_EQ(m.run(), 3u);
    EXPECT_EQ(m.cpu.PC, 0xF801);
}

// A short program with a loop, a subroutine and table reads, as a sound ROM has them: it
// adds up a four-byte table in RAM and sends each partial sum to the DAC.
TEST(Programs, LoopWithSubroutineSumsATable) {
    Machine m;
    m.program(0xF800, {
                          0x8E, 0x00, 0x7F, // F800      lds  #$007f
                          0xCE, 0xF8, 0x30, // F803      ldx  #table
                          0xC6, 0x04,       // F806      ldab #4
                          0xBD, 0xF8, 0x20, // F808 loop jsr  put
                          0x08,             // F80B      inx
                          0x5A,             // F80C      decb
                          0x26, 0xF9,       // F80D      bne  loop
                          0x20, 0xFE,       // F80F done bra  done
                      });
    m.load(0xF820, {
                       0xA6, 0x00,       // F820 put  ldaa 0,x
                       0x9B, 0x10,       // F822      adda $10
                       0x97, 0x10,       // F824      staa $10
                       0xB7, 0x04, 0x00, // F826      staa $0400
                       0x39,             // F829      rts
                   });
    m.load(0xF830, {0x11, 0x22, 0x33, 0x44}); // F830 table

    // 3 set-up instructions, then 4 rounds of jsr, 5 in put, inx, decb, bne.
    const std::uint64_t cycles = m.run(3 + 4 * 9);
    EXPECT_EQ(cycles, 8u + 4 * (9 + 22 + 4 + 2 + 4));
    EXPECT_EQ(m.cpu.PC, 0xF80F);
    EXPECT_EQ(m.memory[0x0010], 0xAA);
    EXPECT_EQ(m.memory[0x0400], 0xAA);
    EXPECT_EQ(m.cpu.X, 0xF834);
    EXPECT_EQ(m.cpu.B, 0x00);
    EXPECT_EQ(m.cpu.SP, 0x007F);
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.cpu.PC, 0xF80F);
}
