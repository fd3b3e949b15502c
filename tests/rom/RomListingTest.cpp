#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One assembled instruction of a crasm listing.
struct ListedInstruction {
    unsigned address;
    std::vector<std::uint8_t> bytes;
    std::string mnemonic; // lower case, as written in the source
    int line;
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool isHex(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return std::isxdigit(c) && !std::islower(c);
    });
}

// Reads the lines that carry code ("F800 8E007F   67  reset   lds  #$007F": address, code
// bytes, line number, source) and keeps those whose mnemonic is an instruction rather than
// a data directive or the note macro.
std::vector<ListedInstruction> readListing(const std::string& path) {
    static const std::set<std::string> data = {"db", "dw", "dl", "ddb", "ds", "asc", "note"};
    std::vector<ListedInstruction> out;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        std::string address, hex, line;
        fields >> address >> hex >> line;
        if (address.size() != 4 || !isHex(address) || !isHex(hex) || hex.size() % 2 != 0 ||
            line.empty() ||
            !std::all_of(line.begin(), line.end(), [](unsigned char c) { return std::isdigit(c); }))
            continue;
        // The source follows the line number after two blanks.
        const std::size_t lineEnd = text.find(line, 5 + hex.size()) + line.size();
        const std::string source = text.size() > lineEnd + 2 ? text.substr(lineEnd + 2) : "";
        std::istringstream words(source);
        std::string first, second;
        words >> first >> second;
        const bool labelled =
            !source.empty() && !std::isspace(static_cast<unsigned char>(source[0]));
        const std::string mnemonic = lower(labelled ? second : first);
        if (mnemonic.empty() || data.count(mnemonic)) continue;
        ListedInstruction inst{
            static_cast<unsigned>(std::stoul(address, nullptr, 16)), {}, mnemonic, std::stoi(line)};
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            inst.bytes.push_back(
                static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        out.push_back(inst);
    }
    return out;
}

} // namespace

// An independent check of the disassembler (and of the ROM sources): for every instruction
// of the demo programs, the disassembler's mnemonic and length agree with what crasm
// assembled, and every opcode is one that the processor executes.
TEST(RomListing, DisassemblerAgreesWithTheAssembler) {
    for (const char* name : {"demo", "tone"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> image = readRomImage(name);
        ASSERT_EQ(image.size(), Mc6802::romSize);
        const std::vector<ListedInstruction> listing = readListing(romListingPath(name));
        ASSERT_GT(listing.size(), name == std::string("demo") ? 120u : 10u) << "listing not parsed";

        Machine m;
        std::copy(image.begin(), image.end(), m.memory.begin() + Mc6802::romBase);
        for (const ListedInstruction& inst : listing) {
            SCOPED_TRACE(testing::Message() << "line " << inst.line << " " << inst.mnemonic);
            ASSERT_GE(inst.address, Mc6802::romBase);
            for (std::size_t i = 0; i < inst.bytes.size(); ++i)
                ASSERT_EQ(m.memory[inst.address + i], inst.bytes[i])
                    << "image differs from listing";

            const OpcodeInfo& info = opcodeTable[inst.bytes[0]];
            EXPECT_TRUE(info.implemented()) << "the processor skips this opcode";
            EXPECT_TRUE(info.listed) << "the disassembler does not show this opcode";

            char text[12];
            const std::uint32_t next =
                m.cpu.disassemble(static_cast<std::uint16_t>(inst.address), text);
            EXPECT_EQ(next - inst.address, inst.bytes.size()) << text;
            std::string shown(text);
            shown = shown.substr(0, shown.find(' '));
            const std::string expected = inst.mnemonic == "oraa" ? "ora" : inst.mnemonic;
            EXPECT_EQ(shown, expected) << text;
        }
    }
}
