#include "tests/support/Machine.h"
#include "tests/ui/ScreenFixture.h"

#include <cstring>

using namespace screen_test;

namespace {

const std::uint32_t addressGreen = rgb(63, 175, 63);
const std::uint32_t titleRed = rgb(255, 100, 100);
const std::uint32_t white = rgb(255, 255, 255);

std::uint32_t grey(int level) {
    return rgb(level, level, level);
}

class DebuggerScreenTest : public ScreenFixture {
  protected:
    Machine m;

    Frame drawFrame(std::int32_t editCursor = -1) {
        screen.drawFrame(m.cpu, editCursor);
        return frame();
    }
};

TEST_F(DebuggerScreenTest, InitOpensTheWindowAsSpecified) {
    EXPECT_STREQ(SDL_GetWindowTitle(screen.window),
                 "hummbox v0.2 by Trasolen 2015 - Zorvath sound board emulator");
    int w = 0, h = 0;
    SDL_GetWindowSize(screen.window, &w, &h);
    EXPECT_EQ(w, 740);
    EXPECT_EQ(h, 756);
    ASSERT_NE(screen.font, nullptr);
    EXPECT_EQ(screen.font->renderer, screen.renderer);
    EXPECT_STREQ(screen.registerCC, "CC: ______");
    EXPECT_STREQ(screen.registerA, " A: __");
    EXPECT_STREQ(screen.hexDigits, "0123456789ABCDEF");
}

struct PanelCase {
    const char* name;
    int firstY, lines, bytesPerLine;
    int firstAddress;
};

TEST_F(DebuggerScreenTest, HexPanelsShowAddressesAndBytesOfEveryLine) {
    for (std::uint32_t a = 0; a < Mc6802::memorySize; ++a)
        m.memory[a] = static_cast<std::uint8_t>(a * 7 + (a >> 8));
    const Frame f = drawFrame();
    const PanelCase panels[] = {
        {"RAM", 16, 16, 16, 0x0000},
        {"PIA", 160, 1, 16, 0x0400}, // shows 0x0400..0x040F though its last address is 0x0408
        {"PROM", 184, 64, 32, 0xF800},
    };
    for (const PanelCase& p : panels) {
        SCOPED_TRACE(p.name);
        for (int n = 0; n < p.lines; ++n) {
            const int y = p.firstY + 8 * n;
            const int r = p.firstAddress + n * p.bytesPerLine;
            char expected[5];
            std::snprintf(expected, sizeof expected, "%04X", r);
            ASSERT_EQ(f.text(0, y, 4), expected) << "line " << n;
            ASSERT_EQ(f.colour(0, y), addressGreen);
            ASSERT_TRUE(f.blank(32, y) && f.blank(40, y) && f.blank(48, y));
            for (int c = 0; c < p.bytesPerLine; ++c) {
                char byte[3];
                std::snprintf(byte, sizeof byte, "%02X", m.memory[r + c]);
                ASSERT_EQ(f.text(60 + 16 * c, y, 2), byte) << "line " << n << " byte " << c;
                ASSERT_EQ(f.colour(60 + 16 * c, y), grey(128));
            }
            ASSERT_TRUE(f.blank(60 + 16 * p.bytesPerLine, y)); // nothing after the last byte
        }
    }
    // No line below the PROM panel's sixty-fourth.
    EXPECT_TRUE(f.blank(0, 696));
    EXPECT_TRUE(f.blank(60, 696));
}

struct CursorCase {
    std::int32_t cursor;
    int x, y; // the high digit of the selected byte
    bool highSelected;
};

TEST_F(DebuggerScreenTest, CursorColoursTheSelectedDigitAndItsNeighbour) {
    const std::uint32_t selected = rgb(255, 255, 170);
    const std::uint32_t other = rgb(204, 153, 153);
    const CursorCase cases[] = {
        {0, 60, 16, true},  // RAM 0x0000, high digit
        {1, 60, 16, false}, // RAM 0x0000, low digit
        {2 * 0x37 + 1, 60 + 16 * 7, 16 + 8 * 3, false},
        {511, 60 + 16 * 15, 136, false},  // RAM 0x00FF
        {2048, 60, 160, true},            // PIA 0x0400
        {2079, 60 + 16 * 15, 160, false}, // PIA 0x040F
    };
    for (const CursorCase& c : cases) {
        SCOPED_TRACE(c.cursor);
        m.heat[c.cursor / 2] = 100; // the cursor's colours win over the heat
        const Frame f = drawFrame(c.cursor);
        EXPECT_EQ(f.colour(c.x, c.y), c.highSelected ? selected : other);
        EXPECT_EQ(f.colour(c.x + 8, c.y), c.highSelected ? other : selected);
        // Exactly two cursor-coloured cells in the whole frame.
        int marked = 0;
        for (int y = 16; y <= 688; y += 8)
            for (int x = 60; x < 572; x += 8)
                marked += f.colour(x, y) == selected || f.colour(x, y) == other;
        EXPECT_EQ(marked, 2);
        m.heat[c.cursor / 2] = 0;
    }
}

TEST_F(DebuggerScreenTest, CursorNeverShowsOnThePromPanelOrForUnknownValues) {
    for (std::int32_t cursor : {2 * 0xF800, 2 * 0xFFFF + 1, 2 * 0x0410, 4000, -1, -2}) {
        const Frame f = drawFrame(cursor);
        for (int y = 16; y <= 688; y += 8)
            for (int x = 60; x < 572; x += 16) {
                if (!f.blank(x, y)) {
                    ASSERT_EQ(f.colour(x, y) & 0xFF, (f.colour(x, y) >> 8) & 0xFF)
                        << "cursor " << cursor << " coloured a byte at " << x << "," << y;
                }
            }
    }
}

struct HeatCase {
    std::uint16_t address;
    int x, y;
    std::uint32_t heat;
    int level;
};

TEST_F(DebuggerScreenTest, HeatTintsBytesFromGrey128ToWhite) {
    const HeatCase cases[] = {
        {0x0000, 60, 16, 0, 128},    {0x0001, 76, 16, 1, 129},     {0x0012, 92, 24, 50, 191},
        {0x0013, 108, 24, 99, 253},  {0x00FF, 300, 136, 100, 255}, {0x040A, 220, 160, 75, 223},
        {0xF800, 60, 184, 100, 255}, {0xFFFF, 556, 688, 50, 191},
    };
    for (const HeatCase& c : cases)
        m.heat[c.address] = c.heat;
    const Frame f = drawFrame();
    for (const HeatCase& c : cases) {
        EXPECT_EQ(f.colour(c.x, c.y), grey(c.level)) << std::hex << c.address;
        EXPECT_EQ(f.colour(c.x + 8, c.y), grey(c.level)) << std::hex << c.address;
    }
}

TEST_F(DebuggerScreenTest, RegisterPanelShowsEveryRegisterInWhite) {
    m.cpu.A = 0x3F;
    m.cpu.B = 0xC4;
    m.cpu.X = 0x1234;
    m.cpu.PC = 0xABCD;
    m.cpu.SP = 0x007F;
    m.cpu.CC = 0x14;
    const Frame f = drawFrame();
    const struct {
        int y;
        const char* text;
    } lines[] = {
        {60, " A: 3F"},   {68, " B: C4"},   {76, " X: 1234"},
        {84, "PC: ABCD"}, {92, "SP: 007F"}, {100, "CC: ..Z.I."},
    };
    for (const auto& line : lines) {
        const int length = static_cast<int>(std::strlen(line.text));
        EXPECT_EQ(f.text(490, line.y, length + 1), std::string(line.text) + " ");
        EXPECT_EQ(f.colour(490 + 8 * (length - 1), line.y), white);
    }
    // The A line starts with an empty cell: the letter stands at x = 498.
    EXPECT_TRUE(f.blank(490, 60));
    EXPECT_EQ(f.charAt(498, 60), 'A');
}

TEST_F(DebuggerScreenTest, FlagLettersFollowTheConditionCodeBits) {
    const struct {
        std::uint8_t cc;
        const char* shown;
    } cases[] = {
        {0xFF, "CVZNIH"}, {0xC0, "......"}, {0x01, "C....."}, {0x02, ".V...."},
        {0x08, "...N.."}, {0x20, ".....H"}, {0x14, "..Z.I."},
    };
    for (const auto& c : cases) {
        m.cpu.CC = c.cc;
        EXPECT_EQ(drawFrame().text(522, 100, 6), c.shown) << int(c.cc);
    }
}

TEST_F(DebuggerScreenTest, ListingStartsAtPcDarkensDownwardAndWrapsPastFFFF) {
    // nop at FFFE and FFFF, then ldx #$ce01 at 0000 and unknown bytes after it.
    m.load(0xFFFE, {0x01, 0x01});
    m.load(0x0000, {0xCE, 0xCE, 0x01});
    m.cpu.PC = 0xFFFE;
    const Frame f = drawFrame();
    const struct {
        int line;
        const char* address;
        const char* text;
    } lines[] = {
        {0, "FFFE", "nop        "}, {1, "FFFF", "nop        "},  {2, "0000", "ldx  #$ce01"},
        {3, "0003", "? op: 00   "}, {79, "004F", "? op: 00   "},
    };
    for (const auto& l : lines) {
        SCOPED_TRACE(l.line);
        const int y = 56 + 8 * l.line;
        EXPECT_EQ(f.text(590, y, 4), l.address);
        EXPECT_EQ(f.text(622, y, 2), "  ");
        EXPECT_EQ(f.text(638, y, 12), std::string(l.text) + " ");
    }
    for (int k : {0, 1, 2, 40, 79}) {
        const int y = 56 + 8 * k;
        EXPECT_EQ(f.colour(590, y), rgb(63 - k / 2, 175 - k, 63 - k / 2)) << k;
        EXPECT_EQ(f.colour(638, y), grey(255 - 2 * k)) << k;
    }
    EXPECT_EQ(f.colour(590, 56 + 8 * 79), rgb(24, 96, 24));
    EXPECT_EQ(f.colour(638, 56 + 8 * 79), grey(97));
    EXPECT_TRUE(f.blank(590, 56 + 8 * 80)); // eighty lines, no more
}

TEST_F(DebuggerScreenTest, FixedTitlesAndHelpInTheirPlaces) {
    const struct {
        int x, y;
        const char* text;
    } texts[] = {
        {0, 6, "MC6802 Memory"},
        {0, 150, "MC6821 Peripheral Interface Adapter"},
        {0, 174, "Harris 7641 PROM (2048 bytes)"},
        {330, 128, "Memory Edit"},
        {330, 136, "-----------"},
        {330, 144, "Arrows - Move cursor"},
        {330, 152, "0-9A-F - Hex input"},
        {330, 160, "- / =  - Dec/inc value"},
        {330, 168, "Tab    - CPU / PIA"},
        {490, 32, "                        MC6802"},
        {490, 40, "------------------------------"},
        {0, 710, "Emulation"},
        {0, 718, "----------------------------------------"},
        {0, 726, "Space  - Step      I - Trigger interrupt"},
        {0, 734, "P      - Run/stop  R - Reset"},
        {0, 742, "Esc    - Quit      L - Load .snd ROM from file"},
    };
    const Frame f = drawFrame();
    for (const auto& t : texts) {
        const int length = static_cast<int>(std::strlen(t.text));
        EXPECT_EQ(f.text(t.x, t.y, length), t.text);
        EXPECT_EQ(f.colour(t.x + 8 * (length - 1), t.y), titleRed) << t.text;
    }
}

TEST_F(DebuggerScreenTest, NothingIsDrawnOutsideThePiecesOfTheScreen) {
    struct Box {
        int x0, x1, y0, y1;
    };
    const Box pieces[] = {
        {0, 315, 6, 143},    {0, 315, 150, 167},   {0, 231, 174, 181},
        {0, 571, 184, 695},  {330, 505, 128, 175}, {490, 729, 32, 47},
        {490, 569, 60, 107}, {590, 725, 56, 695},  {0, 367, 710, 749},
    };
    std::memset(m.memory.data(), 0xB7, m.memory.size()); // "staa $b7b7", 11 characters
    m.cpu = Mc6802{};
    m.cpu.memory = m.memory.data();
    m.cpu.heat = m.heat.data();
    m.cpu.CC = 0xFF;
    const Frame f = drawFrame(0);
    int outside = 0, lit = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            if (f.at(x, y) == 0) continue;
            ++lit;
            bool inside = false;
            for (const Box& b : pieces)
                inside = inside || (x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1);
            outside += !inside;
        }
    EXPECT_GT(lit, 100000);
    EXPECT_EQ(outside, 0);
}

TEST_F(DebuggerScreenTest, WithoutFontTheFrameIsBlackAndHeatStillAges) {
    SDL_DestroyTexture(screen.font->texture);
    screen.font->texture = nullptr;
    m.heat[0x20] = 7;
    screen.draw(m.cpu, 0, true);
    const Frame f = frame();
    for (std::uint32_t p : f.pixels)
        ASSERT_EQ(p & 0xFFFFFF, 0u);
    EXPECT_EQ(m.heat[0x20], 6u);
}

TEST_F(DebuggerScreenTest, DrawShowsTheHeatBeforeLightingAndAgesAfter) {
    m.program(0xF800, {0xCE, 0x12, 0x34}); // ldx #$1234
    screen.draw(m.cpu, -1, true);
    EXPECT_EQ(frame().colour(60, 184), grey(128)); // drawn before this frame's lighting
    EXPECT_EQ(m.heat[0xF800], 49u);
    screen.draw(m.cpu, -1, true);
    EXPECT_EQ(frame().colour(60, 184), grey(128 + 49 * 127 / 100));
}

} // namespace
