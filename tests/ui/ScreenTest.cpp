#include "tests/support/Machine.h"
#include "ui/CpuSnapshot.h"
#include "ui/DebuggerScreen.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

constexpr auto rgb = [](int r, int g, int b) { return std::uint32_t(r << 16 | g << 8 | b); };

std::string tempPath(const std::string& name) {
    return testing::TempDir() + "hummbox_" + std::to_string(getpid()) + "_" + name;
}

// A DebuggerScreen set up by its own init (dummy video, software renderer) with a test font
// that reads back: every glyph cell is lit but for its top row, where pixel i (0..6) is lit
// when bit i of the glyph index is set; so a drawn cell shows its colour and its glyph.
class ScreenFixture : public testing::Test {
  protected:
    DebuggerScreen screen;
    const std::string fontPath = tempPath("testfont.bmp");
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(screen.init());
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 256, 24, 24, SDL_PIXELFORMAT_RGB24);
        SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 255, 255));
        for (int bit = 0; bit < 8 * 96; ++bit) { // the top rows: glyph bit / 8, pixel bit % 8
            const SDL_Rect dot{8 * (bit / 8 % 32) + bit % 8, 8 * (bit / 256), 1, 1};
            if (bit % 8 == 7 || !(bit / 8 >> bit % 8 & 1)) SDL_FillRect(s, &dot, 0);
        }
        SDL_SaveBMP(s, fontPath.c_str());
        SDL_FreeSurface(s);
        screen.font->loadImage(fontPath.c_str());
        ASSERT_NE(screen.font->texture, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        screen.destroy();
        std::remove(fontPath.c_str());
        SDL_Quit();
    }
    void readBack() {
        SDL_GetRendererOutputSize(screen.renderer, &width, &height);
        pixels.resize(static_cast<std::size_t>(width) * height);
        SDL_RenderReadPixels(screen.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                             width * 4);
    }
    std::uint32_t at(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }
    // The cell at (x, y) as a character: ' ' when it is all black, '\1' when it is not a test
    // font glyph drawn wholly in colour.
    char charAt(int x, int y, std::uint32_t colour) const {
        int glyph = 0, lit = 0;
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t p = at(x + i % 8, y + i / 8);
            if (p != 0 && p != colour) return '\1';
            lit += p != 0;
            glyph |= i < 8 ? (p != 0) << i : (p == 0) << 8; // pixel 7 and dark rows 1-7: no glyph
        }
        return lit == 0 ? ' ' : glyph > 0x7F ? '\1' : static_cast<char>(glyph + 33);
    }
    std::string text(int x, int y, int length, std::uint32_t colour) const {
        std::string s;
        for (int i = 0; i < length; ++i)
            s += charAt(x + 8 * i, y, colour);
        return s;
    }
};

constexpr std::uint32_t white = rgb(255, 255, 255), red = rgb(255, 100, 100);
constexpr auto grey = [](int level) { return rgb(level, level, level); };

using BitmapFontTest = ScreenFixture;

class DebuggerScreenTest : public ScreenFixture {
  protected:
    Machine m;
    void draw(std::int32_t editCursor = -1) {
        screen.drawFrame(m.cpu, editCursor);
        readBack();
    }
};

// All 256 codes in runs of 64: codes 33 to 128 show the glyph of their own cell of the image
// ('!' from (0, 0), '~' from (232, 16), code 128 from (248, 16)); the others, a NUL among
// them, leave an empty cell and the pen moves on. A length of 0 draws nothing.
TEST_F(BitmapFontTest, EveryCodeShowsItsOwnCellOrAnEmptyOne) {
    screen.font->drawText("XYZ", 0, 8, 0);
    for (int line = 0; line < 4; ++line) {
        std::string codes, shown = " ";
        for (int c = 64 * line; c < 64 * line + 64; ++c) {
            codes += static_cast<char>(c);
            shown += c >= 33 && c <= 128 ? static_cast<char>(c) : ' ';
        }
        screen.font->drawText(codes.data(), 64, 8, 16 * line + 16);
        readBack();
        EXPECT_EQ(text(0, 16 * line + 16, 66, white), shown + ' ');
    }
    EXPECT_EQ(text(8, 0, 3, white), "   ");
}

TEST_F(BitmapFontTest, BrokenImagesLeaveTheFontWithoutTextureAndDoNotCrash) {
    char head[80] = "BM\x36\x48\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\0\1\0\0\x18\0\0\0\1\0\x18";
    // A run-length-coded 3000 x 3000 image, which SDL would decode in full.
    const char rle[] = "BM\x4a\0\0\0\0\0\0\0\x3e\0\0\0\x28\0\0\0\xb8\x0b\0\0\xb8\x0b\0\0"
                       "\1\0\x08\0\1\0\0\0\x0c\0\0\0\x13\x0b\0\0\x13\x0b\0\0\2\0\0\0\2\0\0\0"
                       "\0\0\0\0\xff\xff\xff\0\x40\1\0\0\0\1\0\0";
    const std::string files[][2] = {
        // path, contents written there if it is a temporary file
        {"/nonexistent/font.bmp", ""},
        {testing::TempDir(), ""},
        {tempPath("garbage.bmp"), "BM this is not a bitmap at all"},
        {tempPath("empty.bmp"), ""},
        {tempPath("truncated.bmp"), std::string(head, sizeof head)}, // 256 x 24, cut short
        {tempPath("rle.bmp"), std::string(rle, sizeof rle - 1)},
    };
    for (const auto& [path, contents] : files) {
        const bool temporary = path.rfind(tempPath(""), 0) == 0;
        if (temporary) std::ofstream(path, std::ios::binary) << contents;
        BitmapFont font(screen.renderer);
        font.loadImage(path.c_str());
        EXPECT_EQ(font.texture, nullptr) << path;
        font.drawText("no glyphs", 0, 0);     // draws nothing, fails nothing
        screen.font->loadImage(path.c_str()); // keeps the image it had
        screen.font->drawText("!", 8, 8);
        readBack();
        EXPECT_EQ(text(0, 0, 9, white) + text(8, 8, 1, white), std::string(9, ' ') + "!") << path;
        if (temporary) std::remove(path.c_str());
    }
}

// The font.bmp that the build draws from tools/font/glyphs.txt: one distinct light-on-dark glyph
// per printable character, each drawn onto the window exactly as the image holds it.
TEST_F(BitmapFontTest, RealFontHasDistinctGlyphsDrawnPixelForPixel) {
    screen.font->loadImage(HUMMBOX_FONT_BMP);
    const SDL_Rect image{0, 100, 256, 24}; // the whole image, copied as it is
    ASSERT_EQ(SDL_RenderCopy(screen.renderer, screen.font->texture, nullptr, &image), 0);
    for (int g = 0; g < 96; ++g) {
        const char c = static_cast<char>(g + 33);
        screen.font->drawText(&c, 1, 8 * (g % 48), g < 48 ? 8 : 24);
    }
    readBack();
    std::set<std::string> shapes;
    for (int g = 0; g < 96; ++g) {
        std::string shape;
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t p = at(8 * (g % 32) + i % 8, 100 + 8 * (g / 32) + i / 8);
            ASSERT_TRUE(p == 0 || p == white) << "glyph " << g;
            ASSERT_EQ(at(8 * (g % 48) + i % 8, (g < 48 ? 8 : 24) + i / 8), p) << "glyph " << g;
            shape += p ? '#' : '.';
        }
        if (g + 33 > '~') continue;
        EXPECT_NE(shape.find('#'), std::string::npos) << "code " << g + 33 << " is empty";
        EXPECT_TRUE(shapes.insert(shape).second) << "code " << g + 33 << " repeats a glyph";
    }
}

// Every panel line: its address in green, then all its bytes, each in the grey of its heat,
// and nothing after them (the PIA line shows 16 bytes though its last address is 0x0408).
TEST_F(DebuggerScreenTest, HexPanelsShowEveryByteInTheGreyOfItsHeat) {
    for (std::uint32_t a = 0; a < Mc6802::memorySize; ++a)
        m.memory[a] = static_cast<std::uint8_t>(a * 7 + (a >> 8));
    const std::map<int, std::pair<int, int>> hot = {
        // address: heat, grey level
        {0x0001, {1, 129}},  {0x0012, {50, 191}},  {0x0013, {99, 253}}, {0x00FF, {100, 255}},
        {0x040A, {75, 223}}, {0xF800, {100, 255}}, {0xFFFF, {50, 191}}};
    for (auto [address, heat] : hot)
        m.heat[address] = heat.first;
    draw();
    EXPECT_TRUE(width == 740 && height == 756) << width << " x " << height;
    // first line's y, lines, bytes per line, first address
    for (auto [y, lines, perLine, r] :
         {std::tuple{16, 16, 16, 0x0000}, {160, 1, 16, 0x0400}, {184, 64, 32, 0xF800}})
        for (int n = 0; n < lines; ++n, r += perLine, y += 8) {
            char digits[8];
            std::snprintf(digits, sizeof digits, "%04X   ", r);
            ASSERT_EQ(text(0, y, 7, rgb(63, 175, 63)), digits);
            for (int a = r; a < r + perLine; ++a) {
                std::snprintf(digits, sizeof digits, "%02X", m.memory[a]);
                const int level = hot.count(a) ? hot.at(a).second : 128;
                ASSERT_EQ(text(60 + 16 * (a - r), y, 2, grey(level)), digits) << std::hex << a;
            }
            ASSERT_EQ(text(60 + 16 * perLine, y, 1, 0), " ");
        }
    EXPECT_EQ(text(0, 696, 72, 0), std::string(72, ' ')); // no line below
}

// The selected digit in one colour and the other digit of its byte in another, whatever the
// byte's heat; a PROM address or a value that matches no shown byte marks nothing.
TEST_F(DebuggerScreenTest, CursorColoursTheSelectedDigitAndItsNeighbour) {
    constexpr std::uint32_t selected = rgb(255, 255, 170), other = rgb(204, 153, 153);
    std::fill(m.memory.begin(), m.memory.end(), 0x5A);
    // cursor, x and y of the byte's high digit (x = 0: nothing marked), high digit selected
    const std::tuple<int, int, int, bool> cases[] = {
        {0, 60, 16, true},        {1, 60, 16, false},       {2 * 0x37 + 1, 172, 40, false},
        {511, 300, 136, false},   {2048, 60, 160, true},    {2079, 300, 160, false},
        {2 * 0xF800, 0, 0, true}, {2 * 0x0410, 0, 0, true}, {-1, 0, 0, true},
    };
    for (auto [cursor, x, y, high] : cases) {
        m.heat[(cursor / 2) & 0xFFFF] = 100;
        draw(cursor);
        m.heat[(cursor / 2) & 0xFFFF] = 0;
        int marked = 0;
        for (int cy = 16; cy <= 688; cy += 8)
            for (int cx = 60; cx < 572; cx += 8)
                for (char c : {charAt(cx, cy, selected), charAt(cx, cy, other)})
                    marked += c == '5' || c == 'A';
        EXPECT_EQ(marked, x ? 2 : 0) << cursor;
        if (x == 0) continue;
        EXPECT_EQ(text(x, y, 1, high ? selected : other), "5") << cursor;
        EXPECT_EQ(text(x + 8, y, 1, high ? other : selected), "A") << cursor;
    }
}

// Registers in white (the A line begins with an empty cell), the listing from PC darkening
// downward and running on past 0xFFFF for eighty lines, the fixed texts (the panel titles are
// read back by the end-to-end walk-through) and the window title.
TEST_F(DebuggerScreenTest, TextsStandInTheirPlacesInTheirColours) {
    std::tie(m.cpu.A, m.cpu.B, m.cpu.X, m.cpu.SP, m.cpu.CC) =
        std::tuple(0x3F, 0xC4, 0x1234, 0x7F, 0x14);
    m.program(0xFFFE, {0x01, 0x01, 0xCE, 0xCE, 0x01}); // nop, nop, ldx #$ce01 at 0000
    const std::tuple<int, int, const char*, std::uint32_t> texts[] = {
        {490, 60, " A: 3F ", white},
        {490, 68, " B: C4 ", white},
        {490, 76, " X: 1234 ", white},
        {490, 84, "PC: FFFE ", white},
        {490, 92, "SP: 007F ", white},
        {490, 100, "CC: ..Z.I. ", white},
        {590, 56, "FFFE  ", rgb(63, 175, 63)},
        {638, 56, "nop         ", white},
        {590, 72, "0000  ", rgb(62, 173, 62)},
        {638, 72, "ldx  #$ce01 ", grey(251)},
        {590, 688, "004F  ", rgb(24, 96, 24)},
        {638, 688, "? op: 00    ", grey(97)},
        {590, 696, "            ", 0},
        {330, 136, "-----------", red},
        {330, 144, "Arrows - Move cursor", red},
        {330, 152, "0-9A-F - Hex input", red},
        {330, 160, "- / =  - Dec/inc value", red},
        {330, 168, "Tab    - CPU / PIA", red},
        {490, 40, "------------------------------", red},
        {0, 718, "----------------------------------------", red},
        {0, 726, "Space  - Step      I - Trigger interrupt", red},
        {0, 734, "P      - Run/stop  R - Reset", red},
    };
    draw();
    for (auto [x, y, shown, colour] : texts)
        EXPECT_EQ(text(x, y, static_cast<int>(std::strlen(shown)), colour), shown);
    EXPECT_STREQ(SDL_GetWindowTitle(screen.window),
                 "hummbox v0.2 by Trasolen 2015 - Zorvath sound board emulator");
    for (auto [cc, flags] : {std::tuple{0xFF, "CVZNIH"}, {0xC0, "......"}, {0x29, "C..N.H"}}) {
        m.cpu.CC = static_cast<std::uint8_t>(cc);
        draw();
        EXPECT_EQ(text(522, 100, 6, white), flags) << cc;
    }
}

// A frame shows the heat from before its own lighting of the instruction at PC.
TEST_F(DebuggerScreenTest, DrawShowsTheHeatThenLightsAndAges) {
    m.program(0xF800, {0xCE, 0x12, 0x34}); // ldx #$1234
    for (int level : {128, 190}) {         // heat 0, then 49
        screen.draw(m.cpu, -1, true);
        readBack();
        EXPECT_EQ(text(60, 184, 6, grey(level)), "CE1234");
    }
}

// Stopped, the instruction at PC settles at heat 99 within three frames; running, or when it
// runs past 0xFFFF, nothing is lit. Every other entry stays 0.
TEST(HeatLighting, StoppedInstructionAtPcIsLitUnlessRunningOrWrapping) {
    // PC, opcode (ldx #, unlisted, ldx #, ldx #, ldaa #, nop), stopped, bytes lit
    const std::tuple<std::uint16_t, std::uint8_t, bool, std::uint32_t> cases[] = {
        {0xF810, 0xCE, true, 3}, {0x0040, 0xC4, true, 1}, {0xF800, 0xCE, false, 0},
        {0xFFFE, 0xCE, true, 0}, {0xFFFF, 0x86, true, 0}, {0xFFFF, 0x01, true, 0},
    };
    for (auto [pc, opcode, stopped, length] : cases) {
        Machine m;
        m.program(pc, {opcode});
        for (std::uint32_t heat : {49u, 98u, 99u, 99u}) {
            DebuggerScreen::lightAndAge(m.cpu, stopped);
            for (std::uint32_t a = 0; a < m.heat.size(); ++a)
                ASSERT_EQ(m.heat[a], a - pc < length ? heat : 0u) << std::hex << pc << " " << a;
        }
    }
}

// A capture copies registers, cursor, memory and heat into arrays of the snapshot's own.
TEST(CpuSnapshot, CaptureCopiesEverythingIntoArraysOfItsOwn) {
    Machine m;
    std::tie(m.cpu.A, m.cpu.B, m.cpu.CC, m.cpu.X, m.cpu.PC, m.cpu.SP, m.cpu.cycleCount) =
        std::tuple(0x11, 0x22, 0x2B, 0x3344, 0xF8A0, 0x007F, 123456789);
    m.memory[0xFFFF] = 0xAA;
    m.heat[0xFFFF] = 3;
    CpuSnapshot snapshot;
    snapshot.capture(m.cpu, 2079);
    m.memory[0xFFFF] = 0;
    m.heat[0xFFFF] = 0;
    const Mc6802& s = snapshot.cpu;
    EXPECT_EQ(std::tie(s.A, s.B, s.CC, s.X, s.PC, s.SP, s.cycleCount, snapshot.editCursor),
              std::tuple(0x11, 0x22, 0x2B, 0x3344, 0xF8A0, 0x007F, 123456789u, 2079));
    EXPECT_TRUE(s.memory[0xFFFF] == 0xAA && s.heat[0xFFFF] == 3);
}

} // namespace
