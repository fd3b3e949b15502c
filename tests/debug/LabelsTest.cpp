#include "debug/Labels.h"
#include "tests/support/RomImage.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>

// The demo's labels agree with crasm's own symbol table ("^F831   Abs CMDTAB"), cmdtab's
// bytes running over several listing lines; a changed byte, code outside the PROM or no
// listing at all is refused whole.
TEST(Labels, ReadTheDemoListingAndRefuseADamagedOne) {
    std::vector<std::uint8_t> image = readRomImage("demo");
    std::ifstream in(romListingPath("demo"));
    const std::string listing{std::istreambuf_iterator<char>(in), {}};
    Labels labels;
    std::string error, symbols, read;
    ASSERT_TRUE(image.size() == 2048 && labels.parse(listing, image.data(), error)) << error;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 12 && line.compare(8, 4, "Abs ") == 0)
            symbols += line.substr(12, line.find(' ', 12) - 12) + '=' + line.substr(1, 4) + ' ';
    for (const Labels::Entry& e : labels.entries) {
        char entry[64];
        std::snprintf(entry, sizeof entry, "%s=%04X ", e.name.c_str(), e.address);
        for (char* c = entry; *c != '\0'; ++c)
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        EXPECT_NE(symbols.find(entry), std::string::npos) << entry;
        read += entry;
    }
    EXPECT_NE(read.find("RESET=F800 "), std::string::npos);
    EXPECT_NE(read.find("CMDTAB=F831 "), std::string::npos);

    std::string changedByte = listing, lowCode = listing;
    changedByte.replace(changedByte.find("F80B BDF855"), 11, "F80B BDF856");
    lowCode.replace(lowCode.find("F80B BDF855"), 4, "080B");
    for (const std::string& text : {changedByte, lowCode, std::string("not a listing\n")}) {
        EXPECT_FALSE(labels.parse(text, image.data(), error = ""));
        EXPECT_TRUE(labels.empty() && !error.empty());
    }
}

TEST(Labels, ContainingAndOperandsAtTheirBoundaries) {
    Labels labels;
    labels.entries = {{0xF800, "reset"}, {0xF84A, "delay"}, {0xFFF8, "averyverylongname"}};
    std::string got;
    for (unsigned address : {0xF7FF, 0xF800, 0xF849, 0xF84A, 0xF84D, 0xFFFF})
        got += labels.containing(static_cast<std::uint16_t>(address)) + ',';
    EXPECT_EQ(got, ",reset,reset+73,delay,delay+3,averyverylongname+7,");
    got.clear();
    // text, branch target
    for (auto [text, target] : {std::pair{"jsr  $f84a", -1},
                                {"jsr  $f84b", -1},
                                {"ldx  #$f84a", -1},
                                {"jmp  $fff8", -1},
                                {"ldaa $4a,x", -1},
                                {"bne  $fd", 0xF84A},
                                {"bra  $00", 0xF84B}}) {
        char buffer[16];
        labels.labelOperand(std::strcpy(buffer, text), 12, target);
        got += std::string(buffer) + ',';
    }
    EXPECT_EQ(got, "jsr  delay,jsr  $f84b,ldx  #$f84a,jmp  averyve,ldaa $4a,x,bne  delay,"
                   "bra  $00,");
}

// A listing beside the image that fails to read (a link to /proc/self/mem gives EIO) is
// ignored with one line that says so, as is any other unusable listing: the load goes on.
TEST(Labels, AListingThatCannotBeReadIsIgnoredWithOneLine) {
    ScratchDir dir;
    std::filesystem::create_symlink("/proc/self/mem", "tune.lst");
    const std::uint8_t image[2048] = {};
    Labels labels;
    labels.entries = {{0xF800, "stale"}};
    testing::internal::CaptureStderr();
    labels.load("tune.snd", image);
    EXPECT_TRUE(labels.empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "hummbox: ignoring the labels in tune.lst: cannot be read: " +
                  std::string(std::strerror(EIO)) + "\n");
}

// The demo's data lines as crasm assembled them: cmdtab holds ncmd words (ncmd from the
// listing's own symbol), each the address of a label; the vector fill runs past what the
// listing shows, up to the vectors, all 0xFF; a note (a macro of db and dw) is data too.
TEST(Labels, DataLinesOfTheDemoListing) {
    const std::vector<std::uint8_t> image = readRomImage("demo");
    std::ifstream in(romListingPath("demo"));
    const std::string listing{std::istreambuf_iterator<char>(in), {}};
    Labels labels;
    std::string error;
    ASSERT_TRUE(image.size() == 2048 && labels.parse(listing, image.data(), error)) << error;
    const auto byte = [&](std::uint32_t a) { return image[a - 0xF800]; };
    const std::size_t ncmdAt = listing.find(" ncmd ");
    ASSERT_NE(ncmdAt, std::string::npos);
    const unsigned ncmd =
        std::stoul(listing.substr(listing.rfind('\n', ncmdAt) + 3, 4), nullptr, 16);

    const auto address = [&](const char* name) {
        const Labels::Entry* e = labels.find(name);
        EXPECT_NE(e, nullptr) << name;
        return e != nullptr ? e->address : std::uint16_t{0};
    };
    const Labels::Data* table = labels.dataAt(address("cmdtab"));
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->kind == Labels::Data::Kind::Words &&
                table->end - table->address == 2 * ncmd);
    for (std::uint32_t a = table->address; a < table->end; a += 2)
        EXPECT_NE(labels.nameAt(static_cast<std::uint16_t>(byte(a) << 8 | byte(a + 1))), nullptr);

    const Labels::Data* fill = labels.dataAt(0xFF00);
    ASSERT_NE(fill, nullptr);
    EXPECT_TRUE(fill->end == 0xFFF8 && fill->kind == Labels::Data::Kind::Space) << fill->end;
    for (std::uint32_t a = fill->address; a < fill->end; ++a)
        ASSERT_EQ(byte(a), 0xFF) << a;
    EXPECT_EQ(byte(fill->address - 1), 0x00); // the end of twotone's table

    const std::uint16_t chime = address("chime");
    EXPECT_TRUE(labels.dataAt(chime) && labels.dataAt(chime)->end == chime + 3u);
    EXPECT_EQ(labels.dataAt(address("rechime")), nullptr);

    std::vector<std::uint8_t> memory(0x10000);
    std::copy(image.begin(), image.end(), memory.begin() + 0xF800);
    std::string rows;
    char text[16];
    for (std::int32_t a : {std::int32_t{table->address}, std::int32_t{chime}, chime + 2,
                           std::int32_t{fill->address} + 5, 0xFFFE}) {
        const std::int32_t next =
            labels.dataRow(static_cast<std::uint16_t>(a), memory.data(), text, 12);
        rows += std::string(text) + " " + std::to_string((next - a) & 0xFFFF) + ",";
    }
    EXPECT_EQ(rows, "dw   tone 2,db   $5e,$00 2,db   $6d 1,ds   $680 1664,dw   reset 2,");
}
