#include "cpu/OpcodeTable.h"
#include "tests/support/Program.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <tuple>

namespace {

constexpr InstructionSet kComplete = InstructionSet::Complete;

Machine& complete(Machine& m) {
    m.cpu.instructionSet = kComplete;
    return m;
}

unsigned bcd(unsigned n) {
    return (n / 10) << 4 | (n % 10);
}

} // namespace

// ADDA or ADCA then DAA over every pair of two-digit decimal numbers, with and without carry.
TEST(CompleteSet, DaaCorrectsEveryDecimalSum) {
    for (unsigned a = 0; a < 100; ++a) {
        for (unsigned b = 0; b < 100; ++b) {
            for (unsigned carry : {0u, 1u}) {
                Machine m;
                complete(m).program(
                    0x0200, {std::uint8_t(carry ? 0x89 : 0x8B), std::uint8_t(bcd(b)), 0x19});
                m.cpu.A = static_cast<std::uint8_t>(bcd(a));
                m.cpu.CC = static_cast<std::uint8_t>(carry);
                m.cpu.runUntil(4);
                const unsigned sum = a + b + carry;
                ASSERT_EQ(std::tuple(+m.cpu.A, m.cpu.CC & 1, m.cpu.cycleCount),
                          std::tuple(bcd(sum % 100), sum >= 100 ? 1 : 0, 4u))
                    << a << " + " << b << " + " << carry;
            }
        }
    }
}

// WAI stacks the frame early and waits for an unmasked interrupt.
TEST(CompleteSet, WaitForInterrupt) {
    Machine m;
    Program::set(complete(m), "A=A1 B=B2 CC=D0 X=C3D4 PC=F8E5 SP=7F F8E5:0E,3E FFF8:F9,00");
    EXPECT_TRUE(m.cpu.step() && m.cpu.step()); // cli, wai
    EXPECT_FALSE(m.cpu.step());                // waiting: a cycle passes, nothing runs
    m.cpu.runUntil(1000);
    m.cpu.CC |= Mc6802::flagI;
    m.cpu.irq(); // masked: still waiting
    m.cpu.CC = 0xC0;
    EXPECT_TRUE(m.cpu.waiting && m.cpu.cycleCount == 1000u);
    m.cpu.irq();
    Program::expect(m, "A=A1 B=B2 CC=D0 X=C3D4 PC=F900 SP=78 79:C0,B2,A1,C3,D4,F8,E7/50");
    EXPECT_EQ(m.cpu.cycleCount, 1000u + 4); // the frame is stacked: only the vector is read
    m.cpu.CC = 0;
    m.cpu.irq();
    EXPECT_EQ(std::tuple(m.cpu.SP, m.cpu.cycleCount), std::tuple(0x71, 1000u + 4 + 12));

    m.cpu.waiting = true;
    m.cpu.reset(); // ends the wait, keeps the set
    EXPECT_EQ(std::pair(m.cpu.waiting, m.cpu.instructionSet), std::pair(false, kComplete));
}

// CC bits 6 and 7 are ones on the chip: TPA and every stacking of CC read them so, and what
// loads CC whole (reset, TAP, RTI) sets them. The board reads and loads CC as it is.
TEST(CompleteSet, CcBits6And7AreOnes) {
    const Program cases[] = {
        {"07", "CC=2D", "A=ED CC=2D PC=1", 2, 1, kComplete},                             // tpa
        {"07", "CC=2D", "A=2D CC=2D PC=1", 2},                                           // tpa
        {"06", "A=2D", "A=2D CC=ED PC=1", 2, 1, kComplete},                              // tap
        {"3B", "SP=70 71:27", "CC=E7 SP=77", 10, 1, kComplete},                          // rti
        {"3F", "CC=27 SP=7F", "CC=37 SP=78 79:E7,0,0,0,0,0,1/50", 12, 1, kComplete},     // swi
        {"3E", "CC=27 SP=7F", "CC=27 PC=1 SP=78 79:E7,0,0,0,0,0,1/50", 9, 1, kComplete}, // wai
    };
    for (const Program& p : cases)
        p.check();
    for (const InstructionSet set : {InstructionSet::Board, kComplete}) {
        const unsigned ones = set == kComplete ? 0xC0 : 0;
        Machine m;
        m.cpu.instructionSet = set;
        Program::set(m, "CC=27 SP=7F");
        m.cpu.irq();
        const unsigned stacked = m.memory[0x79];
        m.cpu.reset();
        EXPECT_EQ(std::pair(stacked, unsigned{m.cpu.CC}), std::pair(0x27 | ones, 0x10 | ones));
    }
}

// On the board's opcodes both sets agree but on the flags where the board's rules differ.
TEST(CompleteSet, AgreesWithTheBoardWhereTheirRulesDo) {
    std::mt19937 random(6800);
    for (int op = 0; op < 256; ++op) {
        const OpcodeInfo& info = opcodeTable[op];
        if (!info.implemented()) continue;
        std::uint8_t differ = Mc6802::flagV | Mc6802::flagH; // the board computes neither
        if (op == 0x3B) // the board's RTI never masks, nor sets bits 6 and 7 of the CC pulled
            differ |= Mc6802::flagI | Mc6802::ccHighOnes;
        switch (info.op) {
        case Op::Lsr:
        case Op::Clr: differ |= Mc6802::flagN; [[fallthrough]];
        case Op::Asl:
        case Op::Neg: differ |= Mc6802::flagC; break;
        case Op::St: // STX sets N and Z on the chip only
            differ |= info.reg == Reg::X ? Mc6802::flagN | Mc6802::flagZ : 0;
            break;
        case Op::Ld:
        case Op::Cmp:
            differ |= info.reg == Reg::X || info.reg == Reg::SP ? Mc6802::flagN : 0;
            break;
        default: break;
        }
        for (int trial = 0; trial < 40; ++trial) {
            Machine board, chip;
            for (unsigned a = 0; a < 0x500; ++a)
                board.memory[a] = static_cast<std::uint8_t>(random());
            board.setState(
                {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                 static_cast<std::uint8_t>(random() | Mc6802::ccHighOnes), // as the chip holds CC
                 static_cast<std::uint16_t>(random() & 0x3FF), 0x0200,
                 static_cast<std::uint16_t>(random() & 0x3FF)});
            board.load(0x0200, {std::uint8_t(op), std::uint8_t(random()), 0x01});
            chip.copyFrom(board.cpu);
            board.cpu.step();
            chip.cpu.instructionSet = kComplete;
            chip.cpu.step();
            SCOPED_TRACE(testing::Message() << "opcode 0x" << std::hex << op << " trial " << trial);
            EXPECT_EQ(std::tie(board.memory, board.heat), std::tie(chip.memory, chip.heat));
            EXPECT_EQ(board.cpu.cycleCount, chip.cpu.cycleCount);
            board.cpu.CC &= static_cast<std::uint8_t>(~differ);
            chip.cpu.CC &= static_cast<std::uint8_t>(~differ);
            EXPECT_EQ(registers(board.cpu), registers(chip.cpu));
        }
    }
}
