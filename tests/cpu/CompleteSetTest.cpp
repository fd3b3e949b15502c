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

// The chip's flag rules beyond one operand byte: 16-bit, transfers, stack and CC instructions.
TEST(CompleteSet, FlagRulesAtTheEdges) {
    const Program cases[] = {
        {"11", "B=01", "B=01 CC=09 PC=1", 2},           // cba
        {"16", "CC=0A", "CC=04 PC=1", 2},               // tab
        {"CE 80 00", "CC=02", "X=8000 CC=08 PC=3", 3},  // ldx
        {"8C 00 01", "X=8000", "X=8000 CC=08 PC=3", 3}, // cpx: N from the high bytes
        {"8C 01 00", "X=8000", "X=8000 CC=02 PC=3", 3}, // cpx: V from the high bytes
        {"8C 00 01", "CC=0D", "CC=01 PC=3", 3},         // cpx: high bytes equal, C kept
        {"8C 12 34", "X=1234", "X=1234 CC=04 PC=3", 3}, // cpx: equal
        {"DF 40", "X=8000 CC=02", "X=8000 CC=08 PC=2 40:80,00/50", 5}, // stx
        {"9F 40", "SP=7F CC=0A", "SP=7F CC=00 PC=2 40:00,7F/50", 5},   // sts
        {"FE 04 10", "410:12,34", "X=1234 PC=3 410:12,34/50", 5},      // ldx extended
        {"30 35 31 34", "SP=7F", "X=80 SP=7F PC=4", 16, 4},            // tsx txs ins des
        {"37 33", "B=42 SP=7F", "B=42 SP=7F PC=2 7F:42/100", 8, 2},    // pshb pulb
        {"06 07 0D 0B 0A", "A=C7", "A=C7 CC=C5 PC=5", 10, 5},          // tap tpa sec sev clv
        {"3B", "CC=00 PC=78 SP=70 71:FF", "CC=FF SP=77", 10},          // rti masks as pulled
    };
    for (Program p : cases) {
        p.instructionSet = kComplete;
        p.check();
    }
}

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

// Compare or add, then branch: against C++'s signed and unsigned comparisons and sums.
TEST(CompleteSet, BranchesFollowSignedAndUnsignedComparisons) {
    const std::uint8_t edges[] = {0x00, 0x01, 0x7F, 0x80, 0x81, 0xFF};
    for (std::uint8_t a : edges) {
        for (std::uint8_t b : edges) {
            const int sa = static_cast<std::int8_t>(a), sb = static_cast<std::int8_t>(b);
            const bool overflow = sa + sb > 127 || sa + sb < -128;
            const std::pair<std::uint8_t, bool> cases[] = {
                {0x2C, sa >= sb}, {0x2D, sa < sb}, {0x2E, sa > sb},   {0x2F, sa <= sb},
                {0x22, a > b},    {0x23, a <= b},  {0x28, !overflow}, {0x29, overflow},
            };
            for (const auto& [branch, taken] : cases) {
                const bool adds = branch == 0x28 || branch == 0x29;
                Machine m;
                complete(m).program(0x0200, {std::uint8_t(adds ? 0x8B : 0x81), b, branch, 0x10});
                m.cpu.A = a;
                m.cpu.runUntil(6);
                EXPECT_EQ(m.cpu.PC, taken ? 0x0214 : 0x0204)
                    << std::hex << +branch << " after " << +a << ", " << +b;
            }
        }
    }
}

// SWI enters through 0xFFFA; WAI stacks early and waits for an unmasked interrupt.
TEST(CompleteSet, SoftwareInterruptAndWait) {
    const char* frame = "A=A1 B=B2 CC=C0 X=C3D4 PC=F8E5 SP=7F FFF8:F9,00,FA,00 ";
    const Program swi = {
        "3F", frame, "A=A1 B=B2 CC=D0 X=C3D4 PC=FA00 SP=78 79:C0,B2,A1,C3,D4,F8,E6/50",
        12,   1,     kComplete};
    swi.check();

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
    EXPECT_EQ(m.cpu.cycleCount, 1000u + Mc6802::irqAfterWaiCycles);
    m.cpu.CC = 0;
    m.cpu.irq();
    EXPECT_EQ(std::tuple(m.cpu.SP, m.cpu.cycleCount),
              std::tuple(0x71, 1000u + Mc6802::irqAfterWaiCycles + Mc6802::irqCycles));

    m.cpu.waiting = true;
    m.cpu.reset(); // ends the wait, keeps the set
    EXPECT_EQ(std::pair(m.cpu.waiting, m.cpu.instructionSet), std::pair(false, kComplete));
}

// On the board's opcodes both sets agree but on the flags where the board's rules differ.
TEST(CompleteSet, AgreesWithTheBoardWhereTheirRulesDo) {
    std::mt19937 random(6800);
    for (int op = 0; op < 256; ++op) {
        const OpcodeInfo& info = opcodeTable[op];
        if (!info.implemented()) continue;
        std::uint8_t differ = Mc6802::flagV | Mc6802::flagH; // the board computes neither
        if (op == 0x3B) differ |= Mc6802::flagI;             // the board's RTI never masks
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
                 static_cast<std::uint8_t>(random()), static_cast<std::uint16_t>(random() & 0x3FF),
                 0x0200, static_cast<std::uint16_t>(random() & 0x3FF)});
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
