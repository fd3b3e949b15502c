#include "ui/Listing.h"

#include "cpu/Mc6802.h"
#include "debug/Labels.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace {

struct Demo {
    Machine m;
    Labels labels;
    std::set<std::uint16_t> starts; // where crasm's listing begins a source line's code

    Demo() {
        const std::vector<std::uint8_t> image = readRomImage("demo");
        std::copy(image.begin(), image.end(), m.cpu.memory + 0xF800);
        std::ifstream in(romListingPath("demo"));
        const std::string listing{std::istreambuf_iterator<char>(in), {}};
        std::string error;
        EXPECT_TRUE(image.size() == 2048 && labels.parse(listing, image.data(), error)) << error;
        std::istringstream lines(listing);
        for (std::string line; std::getline(lines, line);)
            if (line.size() > 28 && std::isdigit(static_cast<unsigned char>(line[25])) &&
                std::isxdigit(static_cast<unsigned char>(line[0])) && line[4] == ' ' &&
                std::isxdigit(static_cast<unsigned char>(line[5])))
                starts.insert(
                    static_cast<std::uint16_t>(std::stoul(line.substr(0, 4), nullptr, 16)));
    }
    bool code(std::uint16_t a) const { return starts.count(a) != 0 && !labels.dataAt(a); }
};

} // namespace

// With labels, rows walked from the reset address start on every label, whichever the
// instruction set; no data line reads as an instruction.
TEST(Listing, LabelledRowsKeepToTheListingsLinesAndShowDataAsData) {
    Demo demo;
    for (InstructionSet set : {InstructionSet::Board, InstructionSet::Complete}) {
        demo.m.cpu.instructionSet = set;
        std::set<std::uint16_t> rows;
        char text[32];
        for (std::uint32_t a = 0xF800; a < 0x10000;) {
            rows.insert(static_cast<std::uint16_t>(a));
            const std::uint16_t next =
                Listing::row(demo.m.cpu, &demo.labels, static_cast<std::uint16_t>(a), text, 12);
            if (demo.labels.dataAt(static_cast<std::uint16_t>(a))) {
                EXPECT_TRUE(text[0] == 'd' || text[0] == 'a') << a << ' ' << text;
            }
            a = next == 0 ? 0x10000 : next;
        }
        for (const Labels::Entry& e : demo.labels.entries)
            EXPECT_TRUE(rows.count(e.address)) << e.name;
    }
}

// Ahead of any instruction of the demo, the listing starts three rows back, on a line of
// crasm's listing, labelled or plain (plain only where no data lies just before: there the
// plain view decodes data as instructions anyway).
TEST(Listing, RowsBeforePcStartOnAnInstructionAndLeadToIt) {
    Demo demo;
    char text[32];
    int checked = 0;
    for (std::uint16_t pc : demo.starts) {
        if (!demo.code(pc) || pc < 0xF80A) continue;
        bool dataBefore = false;
        for (int back = 1; back <= 12; ++back)
            dataBefore = dataBefore || demo.labels.dataAt(static_cast<std::uint16_t>(pc - back));
        // Labelled; plain, walking from labels; plain without any labels.
        for (int view = 0; view < 3; ++view) {
            if (view > 0 && dataBefore) continue;
            const bool labelled = view == 0;
            const Labels* labels = view < 2 ? &demo.labels : nullptr;
            const std::uint16_t start = Listing::startBefore(demo.m.cpu, labels, labelled, pc, 3);
            // The labelled view lists data two bytes a row.
            EXPECT_TRUE(demo.starts.count(start) || (labelled && demo.labels.dataAt(start)))
                << std::hex << pc << ' ' << start << ' ' << view;
            int rows = 0;
            for (std::uint16_t a = start; a != pc && rows < 4; ++rows)
                a = Listing::row(demo.m.cpu, labelled ? labels : nullptr, a, text, 12);
            EXPECT_EQ(rows, 3) << std::hex << pc << ' ' << start << ' ' << view;
            ++checked;
        }
    }
    EXPECT_GT(checked, 150);
}
