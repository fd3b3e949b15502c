#include "debug/Labels.h"
#include "tests/support/Machine.h"
#include "tests/support/ScratchDir.h"
#include "ui/DebuggerScreen.h"
#include "ui/HelpOverlay.h"
#include "ui/StatusLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

namespace {

constexpr auto rgb = [](int r, int g, int b) { return std::uint32_t(r << 16 | g << 8 | b); };
constexpr auto grey = [](int level) { return rgb(level, level, level); };

// A DebuggerScreen from its own init with a font that reads back: each glyph cell is lit but
// its top row, whose pixel i (0..6) shows bit i of the glyph index.
struct Screen : testing::Test {
    ScratchDir dir;
    DebuggerScreen screen;
    Machine m;
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(740 * 756);

    void SetUp() override {
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        screen.hexDigits = "0123456789ABCDEF";
        testing::internal::CaptureStderr(); // no font.bmp here
        ASSERT_TRUE(screen.init());
        testing::internal::GetCapturedStderr();
        // Top-down (negative height, first row first), 24 bits: the built font is bottom-up.
        std::vector<char> bmp(54 + 256 * 24 * 3, '\xFF');
        const std::int32_t header[13] = {int(bmp.size()), 0, 54, 40, 256, -24, 24 << 16 | 1};
        std::memcpy(&bmp[2], header, sizeof header);
        bmp[0] = 'B', bmp[1] = 'M';
        for (int glyph = 0; glyph < 96; ++glyph) // the top rows: pixel bit shows glyph bit
            for (int bit = 0; bit < 8; ++bit)
                if (bit == 7 || !(glyph >> bit & 1))
                    std::fill_n(&bmp[54 + 3 * (glyph / 32 * 8 * 256 + glyph % 32 * 8 + bit)], 3, 0);
        std::ofstream("test.bmp", std::ios::binary).write(bmp.data(), std::streamsize(bmp.size()));
        ASSERT_TRUE(screen.font->loadImage("test.bmp")) << SDL_GetError();
    }
    void TearDown() override { screen.destroy(), SDL_Quit(); }
    void draw(std::int32_t editCursor = -1, bool overlays = false) {
        screen.drawFrame(m.cpu, editCursor);
        if (overlays) screen.drawOverlays();
        SDL_RenderReadPixels(screen.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                             740 * 4);
    }
    // The cells from (x, y) on: ' ' if all black, '\1' if not a test glyph wholly in colour.
    std::string text(int x, int y, std::size_t length, std::uint32_t colour) const {
        std::string s;
        for (; s.size() < length; x += 8) {
            int glyph = 0, lit = 0;
            for (int i = 0; i < 64; ++i) {
                const std::uint32_t p = pixels[(y + i / 8) * 740 + x + i % 8] & 0xFFFFFF;
                glyph |= p != 0 && p != colour ? 0x100 : i < 8 ? (p != 0) << i : (p == 0) << 8;
                lit += p != 0;
            }
            s += lit == 0 ? ' ' : glyph > 0x7F ? '\1' : static_cast<char>(glyph + 33);
        }
        return s;
    }
};

} // namespace

// A font.bmp missing, a directory or no BMP: the window opens without text, one line names it.
TEST_F(Screen, AnUnusableFontIsNamedOnceAndDrawsNothing) {
    for (const std::string contents : {"", "/", "BM but no bitmap"}) {
        std::filesystem::remove_all("font.bmp");
        if (contents == "/") std::filesystem::create_directory("font.bmp");
        if (contents.size() > 1) std::ofstream("font.bmp") << contents;
        DebuggerScreen other;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(other.init());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(other.font->texture, nullptr);
        other.font->drawText("no glyphs", 0, 0);
        EXPECT_NE(said.find("font.bmp"), std::string::npos) << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
        other.destroy();
    }
}

// Every panel line: its address in green, its bytes in the grey of their heat, nothing after;
// the cursor's byte shows its selected digit and the other in two colours, whatever its heat.
TEST_F(Screen, HexPanelsShowEveryByteInTheGreyOfItsHeatOrTheCursor) {
    for (std::uint32_t a = 0; a < Mc6802::memorySize; ++a)
        m.memory[a] = static_cast<std::uint8_t>(a * 7 + (a >> 8));
    // address: heat, grey level
    const std::map<int, std::pair<int, int>> hot = {{0x0001, {1, 129}},  {0x0012, {50, 191}},
                                                    {0x0013, {99, 253}}, {0x00FF, {100, 255}},
                                                    {0x040A, {75, 223}}, {0xFFFF, {50, 191}}};
    for (auto [address, heat] : hot)
        m.heat[address] = heat.first;
    const std::uint32_t selected = rgb(255, 255, 170), other = rgb(204, 153, 153);
    for (int cursor : {-1, 0, 511, 2048, 2079, 2 * 0x0410, 2 * 0xF800}) {
        draw(cursor);
        for (auto [y, lines, perLine, r] : // first line's y, lines, bytes a line, first address
             {std::tuple{16, 16, 16, 0x0000}, {160, 1, 16, 0x0400}, {184, 64, 32, 0xF800}})
            for (int n = 0; n < lines; ++n, r += perLine, y += 8) {
                char digits[8];
                std::snprintf(digits, sizeof digits, "%04X   ", r);
                ASSERT_EQ(text(0, y, 7, rgb(63, 175, 63)), digits);
                for (int a = r, x = 60; a < r + perLine; ++a, x += 16) {
                    std::snprintf(digits, sizeof digits, "%02X", m.memory[a]);
                    const std::uint32_t level = grey(hot.count(a) ? hot.at(a).second : 128);
                    const bool marked = cursor >= 0 && a == cursor / 2 && a < 0xF800,
                               high = cursor % 2 == 0;
                    ASSERT_EQ(text(x, y, 1, marked ? (high ? selected : other) : level) +
                                  text(x + 8, y, 1, marked ? (high ? other : selected) : level),
                              digits)
                        << std::hex << a << " cursor " << cursor;
                }
                ASSERT_EQ(text(60 + 16 * perLine, y, 1, 0), " ");
            }
    }
}

// Registers in white, the listing from PC darkening downward past 0xFFFF for 80 lines, the
// status rows above the registers (their words are StatusLine's); the help box only if shown.
TEST_F(Screen, EachPartStandsInItsPlaceInItsColours) {
    std::tie(m.cpu.A, m.cpu.B, m.cpu.X, m.cpu.SP, m.cpu.CC) =
        std::tuple(0x3F, 0xC4, 0x1234, 0x7F, 0x14);
    m.program(0xFFFE, {0x01, 0x01, 0xCE, 0xCE, 0x01}); // nop, nop, ldx #$ce01 at 0000
    screen.status.romName = "tone.snd";
    draw();
    const char* registers[] = {" A: 3F ",   " B: C4 ",   " X: 1234 ",
                               "PC: FFFE ", "SP: 007F ", "CC: ..Z.I. "};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(text(490, 60 + 8 * i, std::strlen(registers[i]), grey(255)), registers[i]);
    for (auto [k, address, instruction] : {std::tuple{0, "FFFE  ", "nop         "},
                                           {2, "0000  ", "ldx  #$ce01 "},
                                           {79, "004F  ", "? op: 00    "},
                                           {80, "      ", "            "}}) {
        EXPECT_EQ(text(590, 56 + 8 * k, 6, rgb(63 - k / 2, 175 - k, 63 - k / 2)), address);
        EXPECT_EQ(text(638, 56 + 8 * k, 12, grey(255 - 2 * k)), instruction);
    }
    const std::uint32_t status = rgb(170, 204, 255);
    EXPECT_EQ(text(490, 0, 9, status), "tone.snd ");
    EXPECT_EQ(text(490, 16, 31, status), "                       H - help");
    EXPECT_EQ(text(490, 32, 30, rgb(255, 100, 100)), "                        MC6802");
    m.cpu.CC = 0xEB; // with 0x14 above: every flag both set and clear, bits 6-7 not shown
    draw();
    EXPECT_EQ(text(522, 100, 6, grey(255)), "CV.N.H");
    const int x = HelpOverlay::textX, y = HelpOverlay::textY;
    for (bool shown : {false, true, false}) {
        screen.helpShown = shown;
        draw(-1, true);
        EXPECT_EQ(text(x, y, 5, rgb(255, 100, 100)) == "Keys ", shown);
        EXPECT_EQ(text(x, y + 8 * 9, 20, grey(255)) == "P            run / s", shown);
    }
}

// With N, a label line stands above the instruction it names, operands show label names and
// the status line names the label PC is in. A breakpoint's line has its address and a '*' in
// orange; the panel stands left of the status line, its stop reason in orange too.
TEST_F(Screen, TheListingNamesLabelsAndMarksBreakpoints) {
    Labels labels;
    labels.entries = {{0xF800, "start"}, {0xF803, "delay"}};
    std::tie(screen.labels, screen.labelled, screen.status.label) =
        std::tuple(&labels, true, "start");
    m.program(0xF800, {0xBD, 0xF8, 0x03, 0x39, 0x26, 0xFA}); // jsr $f803; rts; bne $fa
    DebugStatus& debug = screen.panel.debug;
    std::tie(debug.breakpoints[0], debug.breakCount, debug.stop, debug.stopAddress) =
        std::tuple(0xF803, 1, DebugStatus::Stop::Break, 0xF803);
    screen.panel.cycles = 42;
    draw();
    const std::uint32_t orange = rgb(255, 170, 80), status = rgb(170, 204, 255);
    std::string got;
    for (int k = 0; k < 5; ++k)
        got += text(590, 56 + 8 * k, 6, k == 3 ? orange : rgb(63 - k / 2, 175 - k, 63 - k / 2)) +
               text(638, 56 + 8 * k, 10, grey(255 - 2 * k)) + '|';
    EXPECT_EQ(got, "start:          |F800  jsr  delay|delay:          |F803* rts       |"
                   "F804  bne  start|");
    EXPECT_EQ(text(490, 24, 11, status), "PC in start");
    EXPECT_EQ(text(330, 0, 20, status), "cycles 42           ");
    EXPECT_EQ(text(330, 16, 20, orange), "BREAK F803          ");
}

// Stopped, the instruction at PC settles at heat 99; running or past 0xFFFF, nothing is lit;
// every entry cools.
TEST(HeatLighting, StoppedInstructionAtPcIsLitUnlessRunningOrWrapping) {
    // PC, opcode (ldx #, unlisted, ldx #, ldx #, ldaa #, nop), stopped, bytes lit
    const std::tuple<std::uint16_t, std::uint8_t, bool, std::uint32_t> cases[] = {
        {0xF810, 0xCE, true, 3}, {0x0040, 0xC4, true, 1}, {0xF800, 0xCE, false, 0},
        {0xFFFE, 0xCE, true, 0}, {0xFFFF, 0x86, true, 0}, {0xFFFF, 0x01, true, 0}};
    for (auto [pc, opcode, stopped, length] : cases) {
        Machine m;
        m.program(pc, {opcode});
        m.heat[0xFFFF] = 1; // cools to 0 like every other entry
        for (std::uint32_t heat : {49u, 98u, 99u, 99u}) {
            DebuggerScreen::lightAndAge(m.cpu, stopped);
            for (std::uint32_t a = 0; a < m.heat.size(); ++a)
                ASSERT_EQ(m.heat[a], a - pc < length ? heat : 0u) << std::hex << pc << " " << a;
        }
    }
}

// A driver that draws into memory is refused unless it was asked for.
TEST(NoDisplay, InvisibleDriversCountOnlyWhenNotAskedFor) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        // driver, asked for, refused
        {"x11", nullptr, false},   {"offscreen", nullptr, true}, {"dummy", "x11", true},
        {"dummy", "DUMMY", false}, {"dummy", "dum", true},       {"dummy", "x11,dummy", false}};
    for (auto [driver, requested, refused] : cases)
        EXPECT_EQ(DebuggerScreen::showsNothingUnasked(driver, requested), refused) << driver;
}

// The clock as cycles per sample at 48 kHz; long names keep their start and extension.
TEST(StatusLine, RowsFitTheirColumns) {
    StatusLine s;
    s.romName = "an_extremely_long_sound_program_name_v2.snd";
    s.instructionSet = "an instruction set name too long to fit";
    const std::tuple<std::int32_t, bool, int, const char*> cases[] = {
        {19, false, 0, "an_extremely_long_s...me_v2.snd"},
        {19, false, 1, "speed 19 (912 kHz) stopped     "},
        {100, true, 1, "speed 100 (4800 kHz) running   "},
        {19, true, 2, "an instructio...to fit H - help"},
        {19, true, 3, "                               "}};
    for (auto [speed, running, row, expected] : cases) {
        s.speed = speed, s.running = running;
        char out[StatusLine::columns + 1];
        s.format(row, out);
        EXPECT_STREQ(out, expected) << speed << " row " << row;
    }
}

// The help box and the README's key table list the same keys with the same words.
TEST(HelpOverlay, AgreesWithTheReadmeKeyTable) {
    const auto readme = std::filesystem::path(__FILE__).parent_path() / "../../README.md";
    std::stringstream text;
    text << std::ifstream(readme).rdbuf();
    for (const HelpOverlay::Row& row : HelpOverlay::rows) {
        const std::string line =
            std::string("| ") + row.key + " | " + row.debugger + " | " + row.selection + " |";
        EXPECT_NE(text.str().find(line), std::string::npos) << line;
    }
}
