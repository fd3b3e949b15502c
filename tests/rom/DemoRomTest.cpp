#include "cpu/Board.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr std::uint64_t cyclesPerSecond = 912000; // the default 19 cycles a sample at 48 kHz

// Runs the board's processor for the given time; false at the first opcode it would skip.
// Counts the DAC's changes.
bool runFor(Board& board, double seconds, int& dacChanges) {
    Mc6802& cpu = board.cpu;
    const std::uint64_t end =
        cpu.cycleCount + static_cast<std::uint64_t>(seconds * cyclesPerSecond);
    while (cpu.cycleCount < end) {
        const std::uint8_t dac = board.memory[Mc6802::dacAddress];
        if (!cpu.step()) return false;
        dacChanges += board.memory[Mc6802::dacAddress] != dac;
    }
    return true;
}

} // namespace

// The demo programs are written for the board's own instruction set: booted and with every
// command they document played, they never reach an opcode the board skips, and each command
// moves the DAC.
TEST(DemoRom, UsesOnlyTheBoardsOpcodesAndEveryCommandSounds) {
    for (const auto& [name, lastCommand] : {std::pair<std::string, int>{"tone", 0}, {"demo", 10}}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> image = readRomImage(name);
        ASSERT_EQ(image.size(), Mc6802::romSize);
        Board board;
        std::copy(image.begin(), image.end(), board.memory.begin() + Mc6802::romBase);
        board.cpu.reset();
        int changes = 0;
        ASSERT_TRUE(runFor(board, 1.0, changes)) << "booting, at PC " << board.cpu.PC;
        EXPECT_GT(changes, 0);
        for (int command = 1; command <= lastCommand; ++command) {
            SCOPED_TRACE(command);
            board.memory[0x0402] = static_cast<std::uint8_t>(command);
            ASSERT_EQ(board.cpu.CC & Mc6802::flagI, 0) << "the program waits with interrupts open";
            board.cpu.irq();
            changes = 0;
            ASSERT_TRUE(runFor(board, 1.5, changes)) << "at PC " << board.cpu.PC;
            EXPECT_GT(changes, 0);
        }
    }
}
