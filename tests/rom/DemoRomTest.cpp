#include "cpu/OpcodeTable.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

bool allOf(const std::string& s, int (*pred)(int)) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [&](char c) { return pred(c) != 0; });
}

// One instruction line of crasm's listing: "F800 8E007F   67  reset   lds  #$007F ; ...".
// The label column starts two blanks after the line number.
struct Listed {
    std::string address, code, mnemonic;
};

bool parseListingLine(const std::string& line, Listed& f) {
    std::istringstream in(line);
    std::string number, label;
    if (!(in >> f.address >> f.code >> number)) return false;
    if (f.address.size() != 4 || !allOf(f.address, isxdigit) || f.code.size() % 2 != 0 ||
        !allOf(f.code, isxdigit) || !allOf(number, isdigit))
        return false;
    const std::size_t labelColumn = line.find(number, 5 + f.code.size()) + number.size() + 2;
    if (labelColumn < line.size() && line[labelColumn] != ' ') in >> label;
    in >> f.mnemonic;
    // Data and the note macro are not instructions.
    return allOf(f.mnemonic, islower) && f.mnemonic != "db" && f.mnemonic != "dw" &&
           f.mnemonic != "ds" && f.mnemonic != "note";
}

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
    for (const std::string name : {"demo", "tone"}) {
        SCOPED_TRACE(name);
        Machine m;
        std::ifstream listing(romListingPath(name));
        std::size_t checked = 0;
        for (std::string line; std::getline(listing, line);) {
            Listed f;
            if (!parseListingLine(line, f)) continue;
            SCOPED_TRACE(line);
            const auto address = static_cast<std::uint16_t>(std::stoul(f.address, nullptr, 16));
            const std::string& hex = f.code;
            for (std::size_t i = 0; i < hex.size(); i += 2)
                m.memory[address + i / 2] =
                    static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16));
            EXPECT_TRUE(opcodeTable[m.memory[address]].implemented());
            EXPECT_TRUE(opcodeTable[m.memory[address]].listed);
            char text[12];
            EXPECT_EQ(m.cpu.disassemble(address, text), address + hex.size() / 2) << text;
            EXPECT_EQ(std::string(text).substr(0, std::string(text).find(' ')), f.mnemonic);
            ++checked;
        }
        EXPECT_GT(checked, name == "demo" ? 120u : 10u) << "listing not parsed";
    }
}

} // namespace
