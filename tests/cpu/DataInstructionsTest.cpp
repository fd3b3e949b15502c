#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Register state of a test processor, for "nothing else changed" checks.
namespace {

struct Regs {
    std::uint8_t A, B, CC;
    std::uint16_t X, PC, SP;
    bool operator==(const Regs&) const = default;
};
Regs regs(const Mc6802& c) {
    return {c.A, c.B, c.CC, c.X, c.PC, c.SP};
}

} // namespace

// ---- The default path ------------------------------------------------------------------

TEST(DefaultPath, ZeroOpcodeSkipsOneByteAndOneCycle) {
    Machine m;
    m.program(0x1234, {0x00}); // (not an instruction)
    m.cpu.A = 1;
    m.cpu.B = 2;
    m.cpu.X = 3;
    m.cpu.SP = 4;
    m.cpu.CC = 0x2F;
    const std::vector<std::uint8_t> before = m.memory;
    EXPECT_FALSE(m.cpu.step());
    EXPECT_EQ(m.cpu.PC, 0x1235);
    EXPECT_EQ(m.cpu.cycleCount, 1u);
    EXPECT_EQ(regs(m.cpu), (Regs{1, 2, 0x2F, 3, 0x1235, 4}));
    EXPECT_EQ(m.memory, before);
    EXPECT_EQ(m.heat[0x1234], 50u);
    EXPECT_EQ(m.heat[0x1235], 0u);
}

TEST(DefaultPath, OperandBytesOfASkippedOpcodeRunAsOpcodes) {
    Machine m;
    m.program(0xF800, {
                          0x8A, // oraa # (skipped)
                          0x4F, // clra: the would-be operand
                      });
    m.cpu.A = 0x77;
    EXPECT_FALSE(m.cpu.step());
    EXPECT_EQ(m.cpu.PC, 0xF801);
    EXPECT_EQ(m.cpu.A, 0x77);
    EXPECT_TRUE(m.cpu.step());
    EXPECT_EQ(m.cpu.A, 0x00);
    EXPECT_EQ(m.cpu.PC, 0xF802);
    EXPECT_EQ(m.cpu.cycleCount, 3u);
}

TEST(DefaultPath, PublishedOpcodesThatThisProcessorSkips) {
    // tap, daa, wai, swi, oraa #, ldx ext, bvc, bge, tsx, subb #
    for (std::uint8_t op : {0x06, 0x19, 0x3E, 0x3F, 0x8A, 0xFE, 0x28, 0x2C, 0x30, 0xC0}) {
        Machine m;
        m.program(0x0100, {op, 0x4C});
        m.cpu.SP = 0x007F;
        EXPECT_FALSE(m.cpu.step()) << int{op};
        EXPECT_EQ(m.cpu.PC, 0x0101) << int{op};
        EXPECT_EQ(m.cpu.cycleCount, 1u);
        EXPECT_EQ(m.cpu.SP, 0x007F);
    }
}

// ---- Inherent ----------------------------------------------------------------------------

TEST(Inherent, RegisterOperations) {
    struct Case {
        const char* name;
        std::uint8_t opcode;
        Regs in, out;
        std::uint64_t cycles;
    };
    // {A, B, CC, X, PC, SP}
    const Case cases[] = {
        {"nop", 0x01, {1, 2, 0x0F, 3, 0x100, 4}, {1, 2, 0x0F, 3, 0x101, 4}, 2},
        {"tpa", 0x07, {0, 0, 0x14, 0, 0x100, 0}, {0x14, 0, 0x14, 0, 0x101, 0}, 2},
        {"tpa all bits", 0x07, {0, 0, 0xFF, 0, 0x100, 0}, {0xFF, 0, 0xFF, 0, 0x101, 0}, 2},
        {"inx wraps", 0x08, {0, 0, 0x00, 0xFFFF, 0x100, 0}, {0, 0, 0x04, 0x0000, 0x101, 0}, 4},
        {"inx keeps N", 0x08, {0, 0, 0x0C, 0x00FF, 0x100, 0}, {0, 0, 0x08, 0x0100, 0x101, 0}, 4},
        {"dex to zero", 0x09, {0, 0, 0x00, 0x0001, 0x100, 0}, {0, 0, 0x04, 0x0000, 0x101, 0}, 4},
        {"dex wraps", 0x09, {0, 0, 0x04, 0x0000, 0x100, 0}, {0, 0, 0x00, 0xFFFF, 0x101, 0}, 4},
        {"clc", 0x0C, {0, 0, 0xFF, 0, 0x100, 0}, {0, 0, 0xFE, 0, 0x101, 0}, 2},
        {"cli", 0x0E, {0, 0, 0xFF, 0, 0x100, 0}, {0, 0, 0xEF, 0, 0x101, 0}, 2},
        {"sei", 0x0F, {0, 0, 0x00, 0, 0x100, 0}, {0, 0, 0x10, 0, 0x101, 0}, 2},
        {"sba", 0x10, {0x10, 0x20, 0x00, 0, 0x100, 0}, {0xF0, 0x20, 0x09, 0, 0x101, 0}, 2},
        {"tab", 0x16, {0x80, 0x00, 0x04, 0, 0x100, 0}, {0x80, 0x80, 0x08, 0, 0x101, 0}, 2},
        {"tba", 0x17, {0x80, 0x00, 0x08, 0, 0x100, 0}, {0x00, 0x00, 0x04, 0, 0x101, 0}, 2},
        {"aba", 0x1B, {0xF0, 0x20, 0x00, 0, 0x100, 0}, {0x10, 0x20, 0x01, 0, 0x101, 0}, 2},
    };
    for (const Case& c : cases) {
        Machine m;
        m.load(0x100, {c.opcode});
        m.cpu.A = c.in.A;
        m.cpu.B = c.in.B;
        m.cpu.CC = c.in.CC;
        m.cpu.X = c.in.X;
        m.cpu.PC = c.in.PC;
        m.cpu.SP = c.in.SP;
        EXPECT_EQ(m.run(), c.cycles) << c.name;
        EXPECT_EQ(regs(m.cpu), c.out) << c.name;
    }
}

// The accumulator rows, both forms, against the flag operations they name.
TEST(Inherent, AccumulatorOperationsWorkOnTheirOwnRegister) {
    struct Case {
        std::uint8_t opA, opB;
        std::uint8_t (*expect)(Mc6802&, std::uint8_t);
        const char* name;
    };
    const Case cases[] = {
        {0x40, 0x50, [](Mc6802& c, std::uint8_t r) { return c.neg8(r); }, "neg"},
        {0x43, 0x53, [](Mc6802& c, std::uint8_t r) { return c.com8(r); }, "com"},
        {0x44, 0x54, [](Mc6802& c, std::uint8_t r) { return c.lsr8(r); }, "lsr"},
        {0x46, 0x56, [](Mc6802& c, std::uint8_t r) { return c.ror8(r); }, "ror"},
        {0x48, 0x58, [](Mc6802& c, std::uint8_t r) { return c.asl8(r); }, "asl"},
        {0x4A, 0x5A, [](Mc6802& c, std::uint8_t r) { return c.dec8(r); }, "dec"},
        {0x4C, 0x5C, [](Mc6802& c, std::uint8_t r) { return c.inc8(r); }, "inc"},
        {0x4D, 0x5D,
         [](Mc6802& c, std::uint8_t r) {
             c.sub8(r, 0);
             return r;
         },
         "tst"},
        {0x4F, 0x5F, [](Mc6802& c, std::uint8_t) { return c.clear8(); }, "clr"},
    };
    for (const Case& c : cases) {
        for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xC3, 0xFF}) {
            for (std::uint8_t cc : {0x00, 0x0F, 0xF1}) {
                Mc6802 ref;
                ref.CC = cc;
                const std::uint8_t result = c.expect(ref, value);

                Machine a;
                a.program(0x0100, {c.opA});
                a.cpu.A = value;
                a.cpu.B = 0x5A;
                a.cpu.CC = cc;
                EXPECT_EQ(a.run(), 2u);
                EXPECT_EQ(a.cpu.A, result) << c.name << "a " << int{value};
                EXPECT_EQ(a.cpu.B, 0x5A) << c.name << "a";
                EXPECT_EQ(a.cpu.CC, ref.CC) << c.name << "a " << int{value};
                EXPECT_EQ(a.cpu.PC, 0x0101);

                Machine b;
                b.program(0x0100, {c.opB});
                b.cpu.B = value;
                b.cpu.A = 0x5A;
                b.cpu.CC = cc;
                EXPECT_EQ(b.run(), 2u);
                EXPECT_EQ(b.cpu.B, result) << c.name << "b " << int{value};
                EXPECT_EQ(b.cpu.A, 0x5A) << c.name << "b";
                EXPECT_EQ(b.cpu.CC, ref.CC) << c.name << "b " << int{value};
            }
        }
    }
}

// ---- Accumulator with memory, every opcode in every mode -------------------------------

namespace {

enum class Mode { imm, dir, idx, ext };
enum class Fn { sub, cmp, sbc, And, ld, st, eor, adc, Or, add };

struct MemRow {
    std::uint8_t opcode;
    Mode mode;
    Fn fn;
    bool onB;
};

// The opcode maps of the two accumulators, as the instruction set lists them.
const MemRow kMemRows[] = {
    {0x80, Mode::imm, Fn::sub, false}, {0x90, Mode::dir, Fn::sub, false},
    {0x81, Mode::imm, Fn::cmp, false}, {0x91, Mode::dir, Fn::cmp, false},
    {0x82, Mode::imm, Fn::sbc, false}, {0x92, Mode::dir, Fn::sbc, false},
    {0xA2, Mode::idx, Fn::sbc, false}, {0xB2, Mode::ext, Fn::sbc, false},
    {0x84, Mode::imm, Fn::And, false}, {0x94, Mode::dir, Fn::And, false},
    {0xA4, Mode::idx, Fn::And, false}, {0xB4, Mode::ext, Fn::And, false},
    {0x86, Mode::imm, Fn::ld, false},  {0x96, Mode::dir, Fn::ld, false},
    {0xA6, Mode::idx, Fn::ld, false},  {0xB6, Mode::ext, Fn::ld, false},
    {0x97, Mode::dir, Fn::st, false},  {0xA7, Mode::idx, Fn::st, false},
    {0xB7, Mode::ext, Fn::st, false},  {0x88, Mode::imm, Fn::eor, false},
    {0x98, Mode::dir, Fn::eor, false}, {0xA8, Mode::idx, Fn::eor, false},
    {0xB8, Mode::ext, Fn::eor, false}, {0x89, Mode::imm, Fn::adc, false},
    {0x99, Mode::dir, Fn::adc, false}, {0x9A, Mode::dir, Fn::Or, false},
    {0x8B, Mode::imm, Fn::add, false}, {0x9B, Mode::dir, Fn::add, false},
    {0xAB, Mode::idx, Fn::add, false},

    {0xD0, Mode::dir, Fn::sub, true},  {0xC1, Mode::imm, Fn::cmp, true},
    {0xD1, Mode::dir, Fn::cmp, true},  {0xC2, Mode::imm, Fn::sbc, true},
    {0xD2, Mode::dir, Fn::sbc, true},  {0xE2, Mode::idx, Fn::sbc, true},
    {0xF2, Mode::ext, Fn::sbc, true},  {0xC4, Mode::imm, Fn::And, true},
    {0xD4, Mode::dir, Fn::And, true},  {0xE4, Mode::idx, Fn::And, true},
    {0xF4, Mode::ext, Fn::And, true},  {0xC6, Mode::imm, Fn::ld, true},
    {0xD6, Mode::dir, Fn::ld, true},   {0xE6, Mode::idx, Fn::ld, true},
    {0xF6, Mode::ext, Fn::ld, true},   {0xD7, Mode::dir, Fn::st, true},
    {0xE7, Mode::idx, Fn::st, true},   {0xF7, Mode::ext, Fn::st, true},
    {0xC8, Mode::imm, Fn::eor, true},  {0xD8, Mode::dir, Fn::eor, true},
    {0xE8, Mode::idx, Fn::eor, true},  {0xF8, Mode::ext, Fn::eor, true},
    {0xCB, Mode::imm, Fn::add, true},  {0xDB, Mode::dir, Fn::add, true},
};

std::uint64_t expectedCycles(Mode mode, Fn fn) {
    if (fn == Fn::st) return mode == Mode::dir ? 4 : mode == Mode::idx ? 6 : 5;
    switch (mode) {
    case Mode::imm: return 2;
    case Mode::dir: return 3;
    case Mode::idx: return 5;
    case Mode::ext: return 4;
    }
    return 0;
}

} // namespace

TEST(AccumulatorMemory, EveryOpcodeAppliesItsOperationInItsMode) {
    ASSERT_EQ(std::size(kMemRows), 53u); // 29 for A, 24 for B
    for (const MemRow& row : kMemRows) {
        for (std::uint8_t cc : {0x00, 0x01, 0x0E}) {
            SCOPED_TRACE(testing::Message()
                         << "opcode 0x" << std::hex << int{row.opcode} << " cc 0x" << int{cc});
            Machine m;
            const std::uint8_t reg = 0x5A, other = 0xC3, operand = 0x3C;
            // Where the operand lives: 0x0040 (direct), X + 0x10 = 0x0210 (indexed),
            // 0x0300 (extended); the program at 0x0100.
            std::uint16_t target = 0;
            switch (row.mode) {
            case Mode::imm: m.program(0x0100, {row.opcode, operand}); break;
            case Mode::dir: m.program(0x0100, {row.opcode, 0x40}), target = 0x0040; break;
            case Mode::idx: m.program(0x0100, {row.opcode, 0x10}), target = 0x0210; break;
            case Mode::ext: m.program(0x0100, {row.opcode, 0x03, 0x00}), target = 0x0300; break;
            }
            if (row.mode != Mode::imm) m.memory[target] = operand;
            m.cpu.X = 0x0200;
            m.cpu.CC = cc;
            (row.onB ? m.cpu.B : m.cpu.A) = reg;
            (row.onB ? m.cpu.A : m.cpu.B) = other;

            Mc6802 ref;
            ref.CC = cc;
            std::uint8_t expected = reg;
            switch (row.fn) {
            case Fn::sub: expected = ref.sub8(reg, operand); break;
            case Fn::cmp: ref.sub8(reg, operand); break;
            case Fn::sbc: expected = ref.sbc8(reg, operand); break;
            case Fn::And: expected = ref.and8(reg, operand); break;
            case Fn::ld: expected = ref.load8(operand); break;
            case Fn::st: ref.store8(reg); break;
            case Fn::eor: expected = ref.eor8(reg, operand); break;
            case Fn::adc: expected = ref.adc8(reg, operand); break;
            case Fn::Or: expected = ref.or8(reg, operand); break;
            case Fn::add: expected = ref.add8(reg, operand); break;
            }

            EXPECT_TRUE(m.cpu.step());
            EXPECT_EQ(m.cpu.cycleCount, expectedCycles(row.mode, row.fn));
            EXPECT_EQ(m.cpu.PC, 0x0100 + (row.mode == Mode::ext ? 3 : 2));
            EXPECT_EQ(row.onB ? m.cpu.B : m.cpu.A, expected);
            EXPECT_EQ(row.onB ? m.cpu.A : m.cpu.B, other);
            EXPECT_EQ(m.cpu.CC, ref.CC);
            if (row.mode != Mode::imm) {
                EXPECT_EQ(m.memory[target], row.fn == Fn::st ? reg : operand);
                // A store writes without reading: one bump either way.
                EXPECT_EQ(m.heat[target], 50u);
            }
        }
    }
}

TEST(Immediate, LdaaSetsNAndZOnly) {
    Machine m;
    m.program(0xF800, {0x86, 0x80}); // ldaa #$80
    m.cpu.CC = 0x07;                 // V, C set; Z set and to be cleared
    EXPECT_EQ(m.run(), 2u);
    EXPECT_EQ(m.cpu.A, 0x80);
    EXPECT_EQ(m.cpu.CC, 0x0B);
    EXPECT_EQ(m.cpu.PC, 0xF802);
    EXPECT_EQ(m.heat[0xF800], 50u);
    EXPECT_EQ(m.heat[0xF801], 50u);
}

TEST(Immediate, SixteenBitLoadsAndCompare) {
    Machine m;
    m.program(0xF800, {
                          0xCE, 0x12, 0x34, // ldx  #$1234
                          0x8E, 0x00, 0x7F, // lds  #$007f
                          0x8C, 0x12, 0x34, // cpx  #$1234
                          0x8C, 0x12, 0x35, // cpx  #$1235
                      });
    EXPECT_EQ(m.run(2), 6u);
    EXPECT_EQ(m.cpu.X, 0x1234);
    EXPECT_EQ(m.cpu.SP, 0x007F);
    EXPECT_EQ(m.run(), 3u);
    EXPECT_EQ(m.cpu.CC & 0x0C, 0x04); // Z
    EXPECT_EQ(m.cpu.X, 0x1234);
    m.run();
    EXPECT_EQ(m.cpu.CC & 0x0C, 0x08); // N, difference 0xFFFF
    EXPECT_EQ(m.cpu.PC, 0xF80C);
}

TEST(Immediate, OperandsPastTheTopComeFromZero) {
    Machine m;
    m.memory[0xFFFF] = 0x86; // ldaa #$42, operand at 0x0000
    m.memory[0x0000] = 0x42;
    m.cpu.PC = 0xFFFF;
    m.run();
    EXPECT_EQ(m.cpu.A, 0x42);
    EXPECT_EQ(m.cpu.PC, 0x0001);

    m.load(0xFFFE, {0xCE, 0xAB}); // ldx #$abcd, low byte at 0x0000
    m.memory[0x0000] = 0xCD;
    m.cpu.PC = 0xFFFE;
    EXPECT_EQ(m.run(), 3u);
    EXPECT_EQ(m.cpu.X, 0xABCD);
    EXPECT_EQ(m.cpu.PC, 0x0001);
}

TEST(Direct, StaaOfZeroSetsZAndClearsV) {
    Machine m;
    m.memory[0x0000] = 0x99;
    m.program(0xF800, {0x97, 0x00}); // staa $00
    m.cpu.A = 0;
    m.cpu.CC = 0x0A; // N and V set
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.memory[0x0000], 0x00);
    EXPECT_EQ(m.cpu.CC, 0x04);
}

TEST(Direct, SixteenBitAccessAtFfReachesIntoPageOne) {
    Machine m;
    m.load(0x00FF, {0x12, 0x34});
    m.program(0x0200, {
                          0xDE, 0xFF,       // ldx  $ff
                          0x9C, 0xFF,       // cpx  $ff
                          0xCE, 0xBE, 0xEF, // ldx  #$beef
                          0xDF, 0xFF,       // stx  $ff
                      });
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.cpu.X, 0x1234);
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.cpu.CC & 0x04, 0x04);
    m.run();
    m.cpu.CC = 0x0F;
    EXPECT_EQ(m.run(), 5u);
    EXPECT_EQ(m.memory[0x00FF], 0xBE);
    EXPECT_EQ(m.memory[0x0100], 0xEF);
    EXPECT_EQ(m.cpu.CC, 0x0F); // stx changes no flag
    EXPECT_EQ(m.cpu.PC, 0x0209);
}

TEST(Indexed, AddressWrapsAndLdxUsesTheOldX) {
    Machine m;
    m.memory[0x0001] = 0x77;
    m.load(0x0010, {0xAB, 0xCD});
    m.program(0x0300, {
                          0xA6, 0x02, // ldaa $02,x   (X = 0xFFFF: 0x0001)
                          0xEE, 0x11, // ldx  $11,x   (0x0010)
                      });
    m.cpu.X = 0xFFFF;
    EXPECT_EQ(m.run(), 5u);
    EXPECT_EQ(m.cpu.A, 0x77);
    EXPECT_EQ(m.run(), 6u);
    EXPECT_EQ(m.cpu.X, 0xABCD);
}

TEST(Indexed, ClrBeyondTheWindowChangesFlagsNotMemory) {
    Machine m;
    m.memory[0x0420] = 0x55;
    m.program(0xF800, {0x6F, 0x20}); // clr $20,x
    m.cpu.X = 0x0400;
    m.cpu.CC = 0x0B;
    EXPECT_EQ(m.run(), 7u);
    EXPECT_EQ(m.memory[0x0420], 0x55);
    EXPECT_EQ(m.heat[0x0420], 0u); // not read, and the write was dropped
    EXPECT_EQ(m.cpu.CC, 0x0F);
}

TEST(Indexed, ReadModifyWrite) {
    Machine m;
    m.load(0x0080, {0x01, 0x01, 0x80});
    m.program(0xF800, {
                          0x60, 0x00, // neg  $00,x
                          0x66, 0x01, // ror  $01,x
                          0x6A, 0x02, // dec  $02,x
                      });
    m.cpu.X = 0x0080;
    EXPECT_EQ(m.run(), 7u);
    EXPECT_EQ(m.memory[0x0080], 0xFF);
    EXPECT_EQ(m.run(), 7u);
    EXPECT_EQ(m.memory[0x0081], 0x00);
    EXPECT_EQ(m.cpu.CC & 0x05, 0x05); // C from bit 0, Z
    EXPECT_EQ(m.run(), 7u);
    EXPECT_EQ(m.memory[0x0082], 0x7F);
    EXPECT_EQ(m.heat[0x0082], 100u); // read and written
    EXPECT_EQ(m.heat[0xF805], 50u);  // the offset is fetched once
    EXPECT_EQ(m.cpu.PC, 0xF806);
}

TEST(Extended, StaaToThePromSetsFlagsButStoresNothing) {
    Machine m;
    m.memory[0xF800] = 0x86;
    m.program(0xF900, {0xB7, 0xF8, 0x00}); // staa $f800
    m.cpu.A = 0x80;
    EXPECT_EQ(m.run(), 5u);
    EXPECT_EQ(m.memory[0xF800], 0x86);
    EXPECT_EQ(m.heat[0xF800], 0u);
    EXPECT_EQ(m.cpu.CC, 0x08);
    EXPECT_EQ(m.cpu.PC, 0xF903);
}

TEST(Extended, AndaLeavesTheOperand) {
    Machine m;
    m.memory[0x0123] = 0x3C;
    m.program(0xF800, {0xB4, 0x01, 0x23}); // anda $0123
    m.cpu.A = 0xF0;
    m.cpu.CC = 0x0C;
    EXPECT_EQ(m.run(), 4u);
    EXPECT_EQ(m.cpu.A, 0x30);
    EXPECT_EQ(m.cpu.CC, 0x00);
    EXPECT_EQ(m.memory[0x0123], 0x3C);
}

TEST(Extended, IncAtTheEdges) {
    Machine m;
    m.load(0x0410, {0xFF});
    m.load(0x0020, {0x7F});
    m.program(0xF800, {
                          0x7C, 0x04, 0x10, // inc  $0410
                          0x7C, 0x00, 0x20, // inc  $0020
                      });
    EXPECT_EQ(m.run(), 6u);
    EXPECT_EQ(m.memory[0x0410], 0x00);
    EXPECT_EQ(m.cpu.CC, 0x04);
    EXPECT_EQ(m.run(), 6u);
    EXPECT_EQ(m.memory[0x0020], 0x80);
    EXPECT_EQ(m.cpu.CC, 0x08);
}

TEST(Extended, TstRewritesRamButNotTheProm) {
    Machine m;
    m.memory[0x0050] = 0x80;
    m.memory[0xF000] = 0x00;
    m.program(0xF800, {
                          0x7D, 0x00, 0x50, // tst  $0050
                          0x7D, 0xF0, 0x00, // tst  $f000
                      });
    m.cpu.CC = 0x05;
    EXPECT_EQ(m.run(), 6u);
    EXPECT_EQ(m.memory[0x0050], 0x80);
    EXPECT_EQ(m.heat[0x0050], 100u); // read, then written back
    EXPECT_EQ(m.cpu.CC, 0x08);       // C cleared
    EXPECT_EQ(m.run(), 6u);
    EXPECT_EQ(m.heat[0xF000], 50u); // read only
    EXPECT_EQ(m.cpu.CC, 0x04);
}

// Extended read-modify-write fetches its address twice; CLR fetches it once.
TEST(Extended, AddressBytesOfReadModifyWriteAreFetchedTwice) {
    Machine m;
    m.program(0x0300, {
                          0x73, 0x00, 0x40, // com  $0040
                          0x7F, 0x00, 0x41, // clr  $0041
                      });
    m.memory[0x0041] = 0x99;
    m.run(2);
    EXPECT_EQ(m.memory[0x0040], 0xFF);
    EXPECT_EQ(m.memory[0x0041], 0x00);
    EXPECT_EQ(m.heat[0x0301], 100u);
    EXPECT_EQ(m.heat[0x0302], 100u);
    EXPECT_EQ(m.heat[0x0304], 50u);
    EXPECT_EQ(m.heat[0x0305], 50u);
    EXPECT_EQ(m.heat[0x0041], 50u); // written, never read
}

TEST(Extended, ReadModifyWriteOpcodes) {
    struct Case {
        std::uint8_t opcode;
        std::uint8_t in, ccIn, out, ccOut;
    };
    const Case cases[] = {
        {0x70, 0x01, 0x00, 0xFF, 0x08}, // neg
        {0x73, 0x0F, 0x02, 0xF0, 0x09}, // com
        {0x74, 0x81, 0x09, 0x40, 0x09}, // lsr: N and C kept
        {0x76, 0x01, 0x01, 0x80, 0x09}, // ror
        {0x7A, 0x01, 0x00, 0x00, 0x04}, // dec
        {0x7C, 0xFF, 0x01, 0x00, 0x05}, // inc
        {0x7D, 0x00, 0x09, 0x00, 0x04}, // tst
        {0x7F, 0x42, 0x09, 0x00, 0x0D}, // clr
    };
    for (const Case& c : cases) {
        Machine m;
        m.memory[0x0060] = c.in;
        m.program(0xF800, {c.opcode, 0x00, 0x60});
        m.cpu.CC = c.ccIn;
        EXPECT_EQ(m.run(), 6u) << int{c.opcode};
        EXPECT_EQ(m.memory[0x0060], c.out) << int{c.opcode};
        EXPECT_EQ(m.cpu.CC, c.ccOut) << int{c.opcode};
        EXPECT_EQ(m.cpu.PC, 0xF803);
    }
}

// Code in RAM may modify its own address bytes: the second fetch of the address comes
// before the write, so the result lands where it was read.
TEST(Extended, ReadModifyWriteOnItsOwnAddressByte) {
    Machine m;
    m.program(0x0000, {0x7C, 0x00, 0x02}); // inc  $0002 (its own low address byte)
    m.memory[0x0003] = 0x55;
    EXPECT_EQ(m.run(), 6u);
    EXPECT_EQ(m.memory[0x0002], 0x03);
    EXPECT_EQ(m.memory[0x0003], 0x55);
    EXPECT_EQ(m.heat[0x0001], 100u);
}
