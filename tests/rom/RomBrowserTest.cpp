#include "tests/support/LiveApp.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <numeric>
#include <set>

namespace {

struct RomBrowserApp : ::testing::Test {
    LiveApp live;
    App& app = live.app;
    void SetUp() override { ASSERT_TRUE(live.started); }
};

} // namespace

// Listed in the platform's listing order: names ending exactly in ".snd" (any bytes, up to the
// longest allowed), directories too; nothing else, nothing from sub-directories. Given a
// directory, the browser lists and loads there.
TEST_F(RomBrowserApp, ScanListsTheNamesEndingInLowerCaseSndInListingOrder) {
    const std::string longest = std::string(251, 'n') + ".snd", odd = "caf\xc3\xa9 \x80\xff .snd";
    const std::set<std::string> listed = {"tune.snd", "a.b.snd", ".snd", "x.snd.snd", longest, odd};
    for (const std::string& name : listed)
        ScratchDir::write(name, {1});
    for (const char* name : {"TUNE.SND", "tune.Snd", "tune.snd.", "snd", "tunesnd", "tune.snd.bak",
                             "tune.snd ", "tune.sndx", "m d\xc3\xaer.snd/deep.snd"})
        std::filesystem::create_directory("m d\xc3\xaer.snd"), ScratchDir::write(name, {1});
    std::vector<std::string> expected;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (listed.count(entry.path().filename()) || entry.path().filename() == "m d\xc3\xaer.snd")
            expected.push_back(entry.path().filename());
    ASSERT_EQ(expected.size(), 7u);
    app.browser.selectedIndex = 7;
    app.browser.fileNames = {"stale.snd"};
    app.browser.scan();
    EXPECT_EQ(app.browser.fileNames, expected);
    EXPECT_EQ(app.browser.selectedIndex, 7);
    app.browser.directory = "m d\xc3\xaer.snd"; // lists and loads there, not in "."
    app.browser.scan();
    app.browser.loadImage(app, "deep.snd");
    EXPECT_EQ(app.browser.fileNames, std::vector<std::string>{"deep.snd"});
    EXPECT_EQ(std::tuple(app.browser.loadedFileName, app.cpu.memory[0xF800]),
              std::tuple("deep.snd", 1));
}

// A load puts the file's first 2048 bytes (or fewer) over the PROM, keeps 0x0500..0xF7FF,
// resets, shows the debugger and resumes audio; one that cannot be read (-1) changes nothing.
TEST_F(RomBrowserApp, LoadsAFileOverThePromOrChangesNothing) {
    const std::string longest = std::string(251, 'l') + ".snd", odd = "\x81\xff .snd",
                      tooLong = std::string(300, 'n') + ".snd";
    const std::pair<std::string, int> cases[] = {
        {"full.snd", 2048}, {"half.snd", 1024}, {"empty.snd", 0}, {"huge.snd", 10 << 20},
        {"base.snd", 2048}, {"fifo.snd", -1},   {"dir.snd", -1},  {"missing.snd", -1},
        {"", -1},           {"odd.snd", 2047},  {odd, 100},       {longest, 2048},
        {tooLong, -1}};
    std::filesystem::create_directories("dir.snd/inside.snd");
    ASSERT_EQ(mkfifo("fifo.snd", 0600), 0);
    std::fstream fifo("fifo.snd"); // both ends: a load that opened it would take these bytes
    fifo << std::string(2048, '\1') << std::flush;
    const auto image = [](const std::string& name, int length) {
        std::vector<unsigned char> bytes(static_cast<std::size_t>(std::max(length, 0)));
        std::iota(bytes.begin(), bytes.end(), static_cast<unsigned char>(name[0]));
        return bytes;
    };
    ScratchDir::write("base.snd", image("base.snd", 2048));
    std::uint8_t* const memory = app.cpu.memory;
    for (const auto& [name, length] : cases) {
        SCOPED_TRACE(name.substr(0, 20));
        const std::vector<unsigned char> bytes = image(name, length);
        if (length >= 0) ScratchDir::write(name, bytes);
        app.browser.loadImage(app, "base.snd");
        SDL_PauseAudio(1); // so that nothing runs the processor while the test looks
        memory[0xF800] = memory[0x0010] = memory[0x0500] = memory[0xF7FF] = 0x5A;
        std::tie(app.cpu.PC, app.mode) = std::tuple(0x1234, App::modeRomSelect);
        std::vector<unsigned char> expected(memory, memory + 0x10000);
        std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 2048), &expected[0xF800]);
        const std::size_t from = length < 0 ? 0 : 0x0500; // the reset clears below 0x0500

        app.browser.loadImage(app, name);
        const bool loaded = SDL_GetAudioStatus() == SDL_AUDIO_PLAYING;
        SDL_PauseAudio(1);
        EXPECT_EQ(loaded, length >= 0);
        EXPECT_TRUE(std::equal(memory + from, memory + 0x10000, expected.begin() + from));
        EXPECT_EQ(app.cpu.PC, loaded ? expected[0xFFFE] << 8 | expected[0xFFFF] : 0x1234);
        EXPECT_EQ(app.mode, loaded ? App::modeDebugger : App::modeRomSelect);
        EXPECT_EQ(app.browser.loadedFileName, loaded ? name : "base.snd");
    }
}

// The highlight stays on the list and in the window: past the 92 lines that fit, 91 scroll as
// little as they must, marks counting what lies above (on the heading's line) and below (on the
// last). A row: entries, frames with Down (+) or Up (-), keys, then the index, its y, the marks.
TEST_F(RomBrowserApp, TheHighlightStaysOnTheListAndInTheWindow) {
    constexpr SDL_Keycode home = SDLK_HOME, end = SDLK_END, up = SDLK_PAGEUP, down = SDLK_PAGEDOWN;
    const struct {
        int count;
        std::vector<int> moves;
        std::vector<SDL_Keycode> keys;
        int index, y, marks;
    } cases[] = {// clang-format off
        {3, {1}, {}, 1, 24, 0}, {1, {1}, {}, 0, 16, 0}, {0, {1}, {end, down}, -1, -1, 0},
        {92, {91}, {}, 91, 744, 0}, {93, {92, -1}, {}, 91, 728, 1}, {93, {92, -91}, {}, 1, 16, 3},
        {300, {299, -91}, {}, 208, 16, 3}, {300, {}, {end}, 299, 736, 1}, {10, {3}, {up}, 0, 16, 0},
        {300, {}, {end, home}, 0, 16, 2}, {300, {1}, {down}, 92, 736, 3},
        {300, {}, {end, up}, 208, 16, 3}, {10, {3}, {down, down}, 9, 88, 0}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " entries, ends on " << c.index);
        app.browser.fileNames.clear(); // a fresh screen: an empty list, then the entries
        app.control.cursorDy = app.control.enter = 0;
        app.browser.frame(app);
        for (int i = 0; i < c.count; ++i)
            app.browser.fileNames.push_back("missing" + std::to_string(i) + ".snd");
        app.control.enter = c.count == 0; // Return on an empty list loads nothing
        app.browser.frame(app);
        for (const int move : c.moves)
            for (int f = 0; f < std::abs(move); ++f) {
                app.control.cursorDy = move > 0 ? 1 : -1;
                app.browser.frame(app);
            }
        for (const SDL_Keycode key : c.keys)
            LiveApp::pushKey(key), app.iterate();
        EXPECT_EQ(app.browser.selectedIndex, c.index);
        EXPECT_EQ(app.mode, App::modeRomSelect);
        std::vector<std::uint32_t> pixels(740 * 756);
        SDL_RenderReadPixels(app.screen.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                             740 * 4);
        int top = 756, bottom = -1;
        for (int i = 16 * 740; i < 740 * 756; ++i)
            if ((pixels[i] & 0xFFFFFF) == 0xFFFFFF) top = std::min(top, i / 740), bottom = i / 740;
        EXPECT_EQ(bottom < 0 ? -1 : (top - 16) / 8 * 8 + 16, c.y);
        EXPECT_LT(bottom, c.y + 8);
        const std::uint32_t *head = &pixels[0], *foot = &pixels[740 * 744], mark = 0xFFAACCFF;
        const int marks = (std::count(head, head + 5920, mark) > 0) +
                          2 * (std::count(foot, foot + 5920, mark) > 0);
        EXPECT_EQ(marks, c.marks); // on the heading's text row (1) and the last (2)
    }
}
