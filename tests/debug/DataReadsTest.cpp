#include "debug/DataReads.h"
#include "cpu/OpcodeTable.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

// For every opcode of both instruction sets, the data bytes that DataReads predicts from the
// opcode table are the ones the bus reads when the instruction runs, seen through the heat
// map: a byte read and not written is warm, one read and written (read-modify-write) is hot,
// less the instruction's own bytes and the vectors. The direct operand and the stack lie in
// the write window, filled with a byte that no store or modification writes back; the
// indexed (X+40) and extended (4020) operands lie above it, where writes are dropped.
TEST(DataReads, MatchTheBusReadsOfEveryOpcode) {
    constexpr std::uint16_t code = 0x0300;
    for (const InstructionSet set : {InstructionSet::Board, InstructionSet::Complete}) {
        for (unsigned op = 0; op < 256; ++op) {
            SCOPED_TRACE(testing::Message() << instructionSetName(set) << " opcode " << op);
            Machine m;
            m.cpu.instructionSet = set;
            for (unsigned a = 0; a <= Mc6802::writeWindowLast; ++a)
                m.memory[a] = 0xA5;
            m.program(code, {static_cast<std::uint8_t>(op), 0x40, 0x20});
            std::tie(m.cpu.A, m.cpu.B, m.cpu.X, m.cpu.SP) = std::tuple(0x11, 0x22, 0x0500, 0x01F0);
            const DataReads predicted = DataReads::of(m.cpu);
            const std::vector<std::uint8_t> before = m.memory;
            m.cpu.step();

            std::set<unsigned> expected, read;
            for (unsigned k = 0; k < predicted.count; ++k)
                expected.insert((predicted.first + k) & 0xFFFF);
            for (unsigned a = 0; a < 0xFFF8; ++a) {
                const bool written = m.memory[a] != before[a];
                const bool ownByte = a >= code && a < code + 3u;
                if (!ownByte && m.heat[a] > (written ? HeatMap::bumpStep : 0)) read.insert(a);
            }
            EXPECT_EQ(read, expected) << opcodeTableFor(set)[op].mnemonic;
        }
    }
}
