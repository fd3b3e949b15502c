#include "cpu/OpcodeTable.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

// The demo ROM boots to its waiting loop; then each command (1..10 sound) runs from the
// interrupt to its return with no step taking the default path (an opcode the processor
// does not execute), the stack within 0x60..0x7F and the DAC left at rest.
TEST(DemoRom, RunsEveryCommandToItsReturnWithTheStackInRam) {
    const std::vector<std::uint8_t> image = readRomImage("demo");
    ASSERT_EQ(image.size(), Mc6802::romSize);
    for (int command : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x80, 0xFF}) {
        SCOPED_TRACE(testing::Message() << "command " << command);
        Machine m;
        std::copy(image.begin(), image.end(), m.memory.begin() + Mc6802::romBase);
        m.cpu.reset();
        int skippedAt = -1, dacChanges = 0, stackOutside = 0;
        const auto masked = [&] { return (m.cpu.CC & Mc6802::flagI) != 0; };
        const auto run = [&](double seconds, auto keepGoing) {
            const auto end = m.cpu.cycleCount + static_cast<std::uint64_t>(seconds * 912000);
            while (keepGoing() && m.cpu.cycleCount < end && skippedAt < 0) {
                const std::uint16_t pc = m.cpu.PC;
                const std::uint8_t dac = m.memory[Mc6802::dacAddress];
                if (!m.cpu.step()) skippedAt = pc;
                dacChanges += m.memory[Mc6802::dacAddress] != dac;
                stackOutside += m.cpu.SP < 0x0060 || m.cpu.SP > 0x007F;
            }
        };
        run(1.0, masked);
        ASSERT_FALSE(masked()) << "unimplemented opcode at " << std::hex << skippedAt;
        const std::uint16_t waitPc = m.cpu.PC, spBefore = m.cpu.SP;

        dacChanges = 0;
        m.memory[0x0402] = static_cast<std::uint8_t>(command);
        m.cpu.irq();
        run(3.0, [&] { return masked() || m.cpu.PC != waitPc; });
        EXPECT_EQ(skippedAt, -1) << "unimplemented opcode at " << std::hex << skippedAt;
        EXPECT_EQ(m.cpu.PC, waitPc) << "no return to the waiting loop within 3 s";
        EXPECT_EQ(m.cpu.SP, spBefore);
        EXPECT_EQ(stackOutside, 0);
        EXPECT_EQ(m.memory[Mc6802::dacAddress], 0x7F);
        EXPECT_EQ(dacChanges > 100, command >= 1 && command <= 10) << dacChanges;
    }
}

// An independent check of the disassembler and of the ROM sources: for every instruction
// that crasm listed ("F800 8E007F   15  reset   lds  #$007F"), the processor executes its
// opcode and the disassembler shows its mnemonic and length.
TEST(DemoRom, DisassemblerAgreesWithTheAssemblerListing) {
    const char* const hexDigits = "0123456789ABCDEF";
    for (const std::string name : {"demo", "tone"}) {
        SCOPED_TRACE(name);
        Machine m;
        std::ifstream listing(romListingPath(name));
        std::size_t checked = 0;
        for (std::string line; std::getline(listing, line);) {
            // An instruction line: address, code, line number, at column 28 a label or none,
            // the mnemonic: "F814 20FE               75  wait    bra     wait".
            if (line.size() < 30 || line.find_first_not_of(hexDigits) != 4) continue;
            std::istringstream in(line.substr(5));
            std::string hex, number, label, mnemonic;
            in >> hex >> number;
            if (line[28] != ' ') in >> label;
            in >> mnemonic;
            if (hex.find_first_not_of(hexDigits) != std::string::npos || hex.size() % 2 != 0 ||
                mnemonic.empty() ||
                mnemonic.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos ||
                std::string(" db dw ds note ").find(" " + mnemonic + " ") != std::string::npos)
                continue; // data and the note macro are not instructions
            SCOPED_TRACE(line);
            const auto address =
                static_cast<std::uint16_t>(std::stoul(line.substr(0, 4), nullptr, 16));
            for (std::size_t i = 0; i < hex.size(); i += 2)
                m.memory[address + i / 2] =
                    static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16));
            EXPECT_TRUE(opcodeTable[m.memory[address]].implemented());
            EXPECT_TRUE(opcodeTable[m.memory[address]].listed);
            char text[12];
            EXPECT_EQ(m.cpu.disassemble(address, text), address + hex.size() / 2) << text;
            EXPECT_EQ(std::string(text).substr(0, std::string(text).find(' ')), mnemonic);
            ++checked;
        }
        EXPECT_GT(checked, name == "demo" ? 120u : 10u) << "listing not parsed";
    }
}

} // namespace
