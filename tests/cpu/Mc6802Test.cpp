#include "cpu/OpcodeTable.h"
#include "tests/support/InstructionSet.h"
#include "tests/support/Program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <tuple>

constexpr InstructionSet kComplete = InstructionSet::Complete;

// Writes land only in 0x0000..0x0410 (16-bit: both bytes, high first), with a bump each.
TEST(Bus, WritesLandOnlyInsideTheWindow) {
    Machine m;
    for (std::uint32_t a = 0; a < 0x10000; ++a)
        m.memory[a] = static_cast<std::uint8_t>(a ^ (a >> 8));
    const std::vector<std::uint8_t> before = m.memory;
    for (std::uint32_t a = 0x0410; a < 0x10000; ++a) {
        if (a > 0x0410) m.cpu.write8(static_cast<std::uint16_t>(a), 0x5A);
        m.cpu.write16(static_cast<std::uint16_t>(a), 0x5A5A);
    }
    EXPECT_EQ(m.memory, before);
    EXPECT_EQ(*std::max_element(m.heat.begin(), m.heat.end()), 0u);
    m.cpu.write16(0x040F, 0xBEEF);
    m.cpu.write8(0x0410, 0x42);
    Program::expect(m, "40F:BE/50 410:42/100");
}

// Reset clears 0x0000..0x04FF (not its heat), loads PC from 0xFFFE and masks interrupts.
TEST(Reset, ClearsLowMemoryLoadsThePcAndMasksInterrupts) {
    Machine m;
    std::fill(m.memory.begin(), m.memory.end(), 0xEE);
    std::fill(m.heat.begin(), m.heat.end(), 7);
    Program::set(m, "A=12 B=34 CC=EF X=5678 PC=1234 SP=7F FFFE:F8,10");
    m.heat[0xFFFE] = 51;
    m.heat[0xFFFF] = 49;
    m.cpu.cycleCount = 12345;
    m.cpu.reset();
    m.cpu.irq(); // masked, so lost
    Program::expect(m, "CC=10 PC=F810 4FF:00/7 500:EE/7 FFFE:F8/100 FFFF:10/99");
    EXPECT_EQ(m.cpu.cycleCount, 12345u);
    EXPECT_EQ(std::count(m.memory.begin(), m.memory.end(), 0), 0x0500);
}

// Every byte value in both sets executes and lists (bumping no heat) as the chip's table says.
TEST(Instructions, EveryByteExecutesAndListsAsTheChipSays) {
    REQUIRE_INSTRUCTION_SET();
    for (int run = 0; run < 2 * 256; ++run) {
        const int op = run % 256;
        const InstructionSet set = run < 256 ? InstructionSet::Board : InstructionSet::Complete;
        const bool board = set == InstructionSet::Board;
        const Instruction& is = (board ? instructionSet() : chipInstructionSet())[op];
        SCOPED_TRACE(testing::Message() << "opcode 0x" << std::hex << op << " " << is.mnemonic
                                        << " in " << instructionSetName(set));
        Machine m, viaRunUntil;
        for (Machine* x : {&m, &viaRunUntil}) {
            x->cpu.instructionSet = set;
            Program::set(*x, "A=11 B=22 CC=05 X=0100 PC=0200 SP=7F 201:A5,3C");
            x->memory[0x0200] = static_cast<std::uint8_t>(op);
        }
        char text[12], expected[16];
        std::snprintf(expected, sizeof expected, "? op: %02x", op);
        if (is.listed) std::snprintf(expected, sizeof expected, "%s", is.mnemonic.c_str());
        if (is.listed && is.form != "-")
            std::snprintf(expected, sizeof expected, "%-5s%s$%s%s", is.mnemonic.c_str(),
                          is.form[0] == '#' ? "#" : "", is.length == 3 ? "a53c" : "a5",
                          is.form == "n8,X" ? ",x" : "");
        EXPECT_EQ(m.cpu.disassemble(0x0200, text), 0x0200u + (is.listed ? is.length : 1));
        EXPECT_STREQ(text, expected);
        EXPECT_EQ(std::accumulate(m.heat.begin(), m.heat.end(), 0u), 0u);

        EXPECT_EQ(m.cpu.step(), !is.mnemonic.empty());
        viaRunUntil.cpu.runUntil(1);
        viaRunUntil.cpu.runUntil(1);
        EXPECT_EQ(std::tie(viaRunUntil.memory, viaRunUntil.heat), std::tie(m.memory, m.heat));
        EXPECT_EQ(registers(viaRunUntil.cpu), registers(m.cpu));
        EXPECT_EQ(m.cpu.cycleCount, is.cycles);
        EXPECT_TRUE(opcodeTableFor(set)[op].setsPc() || m.cpu.PC == 0x0200 + is.length) << m.cpu.PC;
        if (is.mnemonic.empty()) { // nothing changes but PC, the cycle count and the fetch's heat
            Program::expect(m, "A=11 B=22 CC=05 X=0100 PC=0201 SP=7F 201:A5,3C");
            EXPECT_EQ(std::accumulate(m.heat.begin(), m.heat.end(), 0u), 50u);
        }
    }
}

// Edges: wrapping operands and indexes, dropped writes, RTI that unmasks but never masks;
// then the complete set's flags beyond one operand byte: 16-bit, transfers, stack and CC.
TEST(Instructions, HandAssembledCases) {
    const Program cases[] = {
        {"07", "CC=D4", "A=D4 CC=D4 PC=1", 2},                                    // tpa
        {"08", "X=FFFF", "CC=04 PC=1", 4},                                        // inx
        {"08", "CC=0C X=00FF", "CC=08 X=0100 PC=1", 4},                           // inx
        {"09", "X=0001", "CC=04 PC=1", 4},                                        // dex
        {"0C", "CC=FF", "CC=FE PC=1", 2},                                         // clc
        {"0E", "CC=FF", "CC=EF PC=1", 2},                                         // cli
        {"0F", "", "CC=10 PC=1", 2},                                              // sei
        {"10", "A=10 B=20", "A=F0 B=20 CC=09 PC=1", 2},                           // sba
        {"16", "A=80 CC=04", "A=80 B=80 CC=08 PC=1", 2},                          // tab
        {"17", "A=80 CC=08", "CC=04 PC=1", 2},                                    // tba
        {"1B", "A=F0 B=20", "A=10 B=20 CC=01 PC=1", 2},                           // aba
        {"8E 80 00", "CC=0B", "CC=0B PC=3 SP=8000", 3},                           // lds  #$8000
        {"8C 12 35", "CC=07 X=1234", "CC=0B X=1234 PC=3", 3},                     // cpx  #$1235
        {"8C 01 00", "CC=0C X=8080", "X=8080 PC=3", 3},                           // cpx  #$0100
        {"86", "PC=FFFF 0:42", "A=42 PC=1 0:42/50", 2},                           // ldaa #$42
        {"CE AB", "PC=FFFE 0:CD", "X=ABCD PC=1", 3},                              // ldx  #$abcd
        {"DE FF", "FF:12,34", "X=1234 PC=2 FF:12,34/50", 4},                      // ldx  $ff
        {"9C FF", "CC=08 X=1234 FF:12,34", "CC=04 X=1234 PC=2", 4},               // cpx  $ff
        {"DF FF", "CC=0F X=BEEF", "CC=0F X=BEEF PC=2 FF:BE,EF/50", 5},            // stx  $ff
        {"A6 02", "X=FFFF PC=300 1:77", "A=77 X=FFFF PC=302 1:77/50", 5},         // ldaa $02,x
        {"EE 11", "X=FFFF 10:AB,CD", "X=ABCD PC=2", 6},                           // ldx  $11,x
        {"6F 20", "CC=0B X=400 420:55", "CC=0F X=400 PC=2 420:55", 7},            // clr  $20,x
        {"B7 F8 00", "A=80 F800:86", "A=80 CC=08 PC=3 F800:86", 5},               // staa $f800
        {"7D F0 00", "CC=05", "CC=04 PC=3 F000:00/50", 6},                        // tst  $f000
        {"7C 00 02", "3:55", "PC=3 1:00,03/100 3:55", 6},                         // inc  $0002
        {"27 80", "CC=04 PC=F900", "CC=04 PC=F882", 4},                           // beq  *-$7e
        {"20 7F", "PC=FFF0", "PC=0071", 4},                                       // bra  *+$81
        {"20 FE", "PC=F800", "PC=F800", 12, 3},                                   // bra  *
        {"6E FF", "CC=2F X=FF80", "CC=2F X=FF80 PC=007F", 4},                     // jmp  $ff,x
        {"7E F8 01", "PC=F800", "PC=F801 F801:F8/50", 3},                         // jmp  $f801
        {"8D 10", "PC=F800 SP=7F", "PC=F812 SP=7D 7E:F8,02/50", 8},               // bsr  *+$12
        {"39", "PC=F812 SP=7D 7E:F8,02", "PC=F802 SP=7F 7E:F8,02/50", 5},         // rts
        {"AD 05", "X=FA00 PC=F900 SP=7F", "X=FA00 PC=FA05 SP=7D 7E:F9,02/50", 8}, // jsr  $05,x
        {"BD FB 00", "PC=F900 SP=7F", "PC=FB00 SP=7D 7E:F9,03/50 F902:00/50", 9}, // jsr  $fb00
        {"8D 00", "PC=F800 SP=411", "PC=F802 SP=40F 410:00,00", 8},               // bsr  *+2
        {"8D 00", "PC=F800 SP=410", "PC=F802 SP=40E 40F:F8,02/50", 8},            // bsr  *+2
        {"36 36 32", "A=42 PC=F800 FFFF:99", "A=99 PC=F803 SP=FFFF 0:42/50 FFFF:99/50", 12, 3},
        {"3B", "CC=10 PC=78 SP=70 71:00", "SP=77", 10},               // rti
        {"3B", "CC=00 PC=78 SP=70 71:FF", "CC=EF SP=77", 10},         // rti
        {"3B", "CC=10 PC=78 SP=70 71:FF", "CC=FF SP=77", 10},         // rti
        {"3B", "CC=1F PC=78 SP=70 71:C0", "CC=C0 SP=77", 10},         // rti
        {"11", "B=01", "B=01 CC=09 PC=1", 2, 1, kComplete},           // cba
        {"16", "CC=0A", "CC=04 PC=1", 2, 1, kComplete},               // tab
        {"CE 80 00", "CC=02", "X=8000 CC=08 PC=3", 3, 1, kComplete},  // ldx
        {"8C 00 01", "X=8000", "X=8000 CC=08 PC=3", 3, 1, kComplete}, // cpx: N from the high bytes
        {"8C 01 00", "X=8000", "X=8000 CC=02 PC=3", 3, 1, kComplete}, // cpx: V from the high bytes
        {"8C 00 01", "CC=0D", "CC=01 PC=3", 3, 1, kComplete}, // cpx: high bytes equal, C kept
        {"8C 12 34", "X=1234", "X=1234 CC=04 PC=3", 3, 1, kComplete},                // cpx: equal
        {"DF 40", "X=8000 CC=02", "X=8000 CC=08 PC=2 40:80,00/50", 5, 1, kComplete}, // stx
        {"9F 40", "SP=7F CC=0A", "SP=7F CC=00 PC=2 40:00,7F/50", 5, 1, kComplete},   // sts
        {"FE 04 10", "410:12,34", "X=1234 PC=3 410:12,34/50", 5, 1, kComplete},      // ldx extended
        {"30 35 31 34", "SP=7F", "X=80 SP=7F PC=4", 16, 4, kComplete},         // tsx txs ins des
        {"37 33", "B=42 SP=7F", "B=42 SP=7F PC=2 7F:42/100", 8, 2, kComplete}, // pshb pulb
        {"06 07 0D 0B 0A", "A=C7", "A=C7 CC=C5 PC=5", 10, 5, kComplete},    // tap tpa sec sev clv
        {"3B", "CC=00 PC=78 SP=70 71:FF", "CC=FF SP=77", 10, 1, kComplete}, // rti masks as pulled
        {"3F", "A=A1 B=B2 CC=C0 X=C3D4 PC=F8E5 SP=7F FFFA:FA,00",
         "A=A1 B=B2 CC=D0 X=C3D4 PC=FA00 SP=78 79:C0,B2,A1,C3,D4,F8,E6/50", 12, 1,
         kComplete}, // swi
    };
    for (const Program& p : cases)
        p.check();
}

// Every branch of both sets under every N, Z, V, C: taken as its condition says, 4 cycles.
TEST(Instructions, BranchesTestTheirConditions) {
    REQUIRE_INSTRUCTION_SET();
    for (int run = 0; run < 2 * 16 * 16; ++run) {
        const int op = 0x20 + run / 16 % 16, cc = run % 16; // NZVC
        const bool n = cc & 8, z = cc & 4, v = cc & 2, c = cc & 1, board = run < 256;
        const std::string& name = (board ? instructionSet() : chipInstructionSet())[op].mnemonic;
        if (name.empty()) continue;
        const bool taken =
            std::map<std::string, bool>{
                {"bra", true},   {"bhi", !c && !z},     {"bls", c || z},     {"bcc", !c},
                {"bcs", c},      {"bne", !z},           {"beq", z},          {"bvc", !v},
                {"bvs", v},      {"bpl", !n},           {"bmi", n},          {"bge", n == v},
                {"blt", n != v}, {"bgt", !z && n == v}, {"ble", z || n != v}}
                .at(name);
        Machine m;
        m.cpu.instructionSet = board ? InstructionSet::Board : InstructionSet::Complete;
        m.program(0x0200, {static_cast<std::uint8_t>(op), 0x10});
        m.cpu.CC = static_cast<std::uint8_t>(cc);
        m.cpu.step();
        EXPECT_EQ(std::tuple(m.cpu.PC, +m.cpu.CC, m.heat[0x0201], m.cpu.cycleCount),
                  std::tuple(taken ? 0x0212 : 0x0202, cc, taken ? 50u : 0u, 4u))
            << name << " with CC " << cc;
    }
}

// A masked request is lost; a taken one stacks the frame, and RTI restores every register.
TEST(Instructions, InterruptStacksTheFrameAndRtiRestoresIt) {
    Machine m;
    Program::set(m, "A=A1 B=B2 CC=3D X=C3D4 PC=F8E5 SP=7F F8E5:0E FFF8:F9,00 F900:3B");
    m.cpu.irq();  // masked
    m.cpu.step(); // cli: the lost request does not come back
    Program::expect(m, "A=A1 B=B2 CC=2D X=C3D4 PC=F8E6 SP=7F F8E5:0E/50 79:0,0,0,0,0,0,0,0");
    m.cpu.irq();
    Program::expect(m, "A=A1 B=B2 CC=3D X=C3D4 PC=F900 SP=78 79:2D,B2,A1,C3,D4,F8,E6/50 "
                       "FFF8:F9,00/50");
    m.cpu.step();
    Program::expect(m, "A=A1 B=B2 CC=2D X=C3D4 PC=F8E6 SP=7F 7A:B2,A1,C3,D4,F8,E6/100");
    EXPECT_EQ(m.cpu.cycleCount, 2u + 10); // cli and rti; the entry takes none
}

// Each flag operation through every instruction of the set using it, with the CC bits in
// `keep` clear and set. Rows: op, a (register or byte at 0x40), operand, CC, a after, CC after.
// Returns how many opcodes the rows reached.
static int runFlagRows(InstructionSet set, std::uint8_t keep, const char* text) {
    const bool board = set == InstructionSet::Board;
    std::istringstream rows(text);
    std::array<bool, 256> seen{};
    std::string op;
    for (unsigned a, operand, ccIn, result, ccOut;
         rows >> op >> std::hex >> a >> operand >> ccIn >> result >> ccOut;) {
        for (int code = 0; code < 256; ++code) {
            const Instruction& is = (board ? instructionSet() : chipInstructionSet())[code];
            const char last = is.mnemonic.empty() ? ' ' : is.mnemonic.back();
            const bool onA = last == 'a', onB = last == 'b', onReg = onA || onB;
            if (is.mnemonic.substr(0, is.mnemonic.size() - onReg) != op) continue;
            seen[code] = true;
            const bool inherent = is.form == "-", immediate = is.form == "#n8";
            const bool extended = is.form == "a16", indexed = is.form == "n8,X";
            const unsigned byte1 = immediate ? operand : indexed ? 0x10 : extended ? 0 : 0x40;
            const bool reads = op != "sta" && op != "clr", writes = !onReg || op == "sta";
            for (unsigned high : {0u, unsigned{keep}}) {
                SCOPED_TRACE(testing::Message()
                             << is.mnemonic << " CC " << std::hex << (ccIn | high) << " a " << a);
                Machine m;
                m.cpu.instructionSet = set;
                char state[80];
                std::snprintf(
                    state, sizeof state, "A=%X B=%X CC=%X X=30 PC=100 SP=80 100:%X,%X,40 40:%X",
                    onA ? a : 0xC3, onB ? a : 0xC3, ccIn | high, code, byte1, onReg ? operand : a);
                Program::set(m, state);
                EXPECT_TRUE(m.cpu.step());
                // Extended read-modify-write fetches its address bytes a second time to write.
                const unsigned heat = inherent ? 0 : extended && !onReg && reads ? 100 : 50;
                std::snprintf(state, sizeof state, "A=%X B=%X CC=%X X=30 PC=%X SP=80 101:%X/%u",
                              onA ? result : 0xC3, onB ? result : 0xC3, ccOut | high, m.cpu.PC,
                              byte1, heat);
                Program::expect(m, state);
                if (inherent || immediate) continue;
                EXPECT_EQ(std::pair(unsigned{m.memory[0x40]}, m.heat[0x40]),
                          std::pair(writes ? result : operand, 50u * (reads + writes)));
            }
        }
    }
    return static_cast<int>(std::count(seen.begin(), seen.end(), true));
}

// The board's rules: no V or H computed, shifts and NEG keep C, LSR keeps N, CLR sets only Z.
TEST(FlagOps, EveryBoardDataInstructionAppliesItsOperation) {
    REQUIRE_INSTRUCTION_SET();
    EXPECT_EQ(runFlagRows(
                  InstructionSet::Board, 0xF0,
                  "add FF 01 00 00 05  add 7F 01 00 80 08  add 01 01 03 02 02  adc 10 20 01 31 00 "
                  "adc FF 00 01 00 05  adc FF 00 00 FF 08  sub 10 20 00 F0 09  sub 55 55 0B 00 06 "
                  "sub 20 10 01 10 00  sbc 00 FF 01 00 05  sbc 10 10 01 FF 09  sbc 10 0F 01 00 04 "
                  "cmp 10 20 02 10 0B  cmp 55 55 09 55 04  and F0 3C 03 30 03  and F0 0F 08 00 04 "
                  "or  80 01 05 81 09  eor 5A 5A 0B 00 07  neg 01 00 00 FF 08  neg 00 00 01 00 05 "
                  "neg 80 00 02 80 0A  com 00 00 06 FF 09  com FF 00 00 00 05  inc 7F 00 00 80 08 "
                  "inc FF 00 01 00 05  dec 00 00 04 FF 08  dec 01 00 08 00 04  asl 80 00 00 00 04 "
                  "asl 40 00 01 80 09  lsr 01 00 09 00 0D  lsr 80 00 04 40 00  ror 01 00 00 00 05 "
                  "ror 02 00 03 81 0A  lda 55 80 07 80 0B  lda 55 00 0A 00 06  sta 00 99 0B 00 05 "
                  "sta 80 99 02 80 08  clr 55 00 0B 00 0F  clr 55 00 00 00 04  tst 80 00 07 80 0A "
                  "tst 00 00 09 00 04"),
              18 + 53 + 12);
}

// The chip's published rules at their edges (CC: H 20, N 08, Z 04, V 02, C 01), with carries in.
TEST(FlagOps, EveryChipDataInstructionAppliesItsOperation) {
    REQUIRE_INSTRUCTION_SET();
    EXPECT_EQ(runFlagRows(
                  InstructionSet::Complete, 0xD0,
                  "add 7F 01 00 80 2A  add FF 01 00 00 25  add 80 80 00 00 07  adc FF 00 01 00 25 "
                  "sub 80 01 00 7F 02  sub 00 01 00 FF 09  sbc 80 00 01 7F 02  cmp 80 7F 00 80 02 "
                  "neg 80 00 00 80 0B  neg 00 00 03 00 04  com 00 00 02 FF 09  inc 7F 00 00 80 0A "
                  "inc FF 00 03 00 05  dec 80 00 00 7F 02  asl 80 00 00 00 07  asl 40 00 00 80 0A "
                  "asr 81 00 00 C0 09  lsr 01 00 08 00 07  lsr 80 00 0B 40 00  ror 01 00 00 00 07 "
                  "ror 00 00 01 80 0A  rol 80 00 00 00 07  rol 7F 00 01 FF 0A  tst 80 00 03 80 08 "
                  "clr 80 00 0B 00 04  lda 00 80 02 80 08  sta 80 99 02 80 08  bit F0 0F 02 F0 04 "
                  "ora 01 80 00 81 08  add 08 08 00 10 20"),
              8 * 8 + 11 * 4 + 6); // A and B in four modes; memory in two; stores in three
}
