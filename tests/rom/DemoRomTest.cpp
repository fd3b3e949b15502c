#include "cpu/Board.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Runs the processor for the given seconds at the default 912,000 cycles a second; false at
// the first opcode it would skip.
bool runFor(Mc6802& cpu, double seconds) {
    for (const auto end = cpu.cycleCount + std::uint64_t(seconds * 912000); cpu.cycleCount < end;)
        if (!cpu.step()) return false;
    return true;
}

} // namespace

// The demo programs are written for the board's own instruction set: booted and with every
// command they document played, they never reach an opcode the board skips. (How each command
// sounds: tests/tools/demo_catalogue.py holds the catalogue against the README.)
TEST(DemoRom, UsesOnlyTheBoardsOpcodes) {
    for (const auto& [name, lastCommand] : {std::pair<std::string, int>{"tone", 0}, {"demo", 10}}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> image = readRomImage(name);
        ASSERT_EQ(image.size(), Mc6802::romSize);
        Board board;
        std::copy(image.begin(), image.end(), board.memory.begin() + Mc6802::romBase);
        board.cpu.reset();
        ASSERT_TRUE(runFor(board.cpu, 1.0)) << "booting, at PC " << board.cpu.PC;
        for (int command = 1; command <= lastCommand; ++command) {
            SCOPED_TRACE(command);
            board.memory[0x0402] = static_cast<std::uint8_t>(command);
            ASSERT_EQ(board.cpu.CC & Mc6802::flagI, 0) << "the program waits with interrupts open";
            board.cpu.irq();
            ASSERT_TRUE(runFor(board.cpu, 1.5)) << "at PC " << board.cpu.PC;
        }
    }
}
