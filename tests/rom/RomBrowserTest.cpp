#include "tests/support/LiveApp.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace {

// Listed, in the order of the platform's own listing: the names whose last '.' starts
// exactly ".snd" (bytes as they are, up to the longest name allowed) and a directory so
// named; not listed: anything else, and the entries of sub-directories. 10,000 entries more,
// most of them odd ROM names, are all listed and drawn in one selection frame.
TEST(RomScan, ListsTheEntriesWhoseExtensionIsLowerCaseSndInListingOrder) {
    std::map<std::string, bool> cases = {
        {"tune.snd", true},   {"a.b.snd", true},      {".snd", true},
        {"x.snd.snd", true},  {"\x80\xff.snd", true}, {"caf\xc3\xa9 tune .snd", true},
        {"TUNE.SND", false},  {"tune.Snd", false},    {"tune.snd.", false},
        {"snd", false},       {"tunesnd", false},     {"tune.snd.bak", false},
        {"tune.snd ", false}, {"tune.sndx", false},   {std::string(251, 'n') + ".snd", true},
        {"music.snd", true},
    };
    for (int i = 0; i < 10000; ++i) {
        const std::string n = std::to_string(i);
        const std::string names[] = {
            std::string{char(0x80 + i % 128), '\xff'} + n + ".snd", " " + n + " with blanks .snd",
            std::string(240, 'x') + n + ".snd", n + ".SND", n + ".snd.bak"};
        cases[names[i % 5]] = i % 5 < 3;
    }
    LiveApp live([&] {
        for (const auto& [name, listed] : cases)
            if (name != "music.snd") ScratchDir::write(name, {1, 2, 3});
        std::filesystem::create_directory("music.snd");
        ScratchDir::write("music.snd/deep.snd", {0});
    });
    ASSERT_TRUE(live.started);
    RomBrowser& browser = live.app.browser;

    std::vector<std::string> expected;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (cases[entry.path().filename()]) expected.push_back(entry.path().filename());
    ASSERT_EQ(expected.size(), 6000u + 8);
    EXPECT_EQ(browser.fileNames, expected); // the start-up scan
    browser.selectedIndex = 7;
    browser.fileNames = {"stale.snd"};
    browser.scan();
    EXPECT_EQ(browser.fileNames, expected);
    EXPECT_EQ(browser.selectedIndex, 7);
    EXPECT_TRUE(live.app.iterate());
}

struct RomBrowserApp : ::testing::Test {
    LiveApp live;
    App& app = live.app;
    void SetUp() override { ASSERT_TRUE(live.started); }
};

// From "base.snd" loaded and the state disturbed, a load copies the file's first 2048 bytes
// (or fewer) into the PROM, keeps 0x0500..0xF7FF, resets, shows the debugger and resumes
// audio; a name that cannot be opened or read (length -1) changes nothing. Byte k of a file
// is its name's first byte + k: "b..." resets to 0x6061, "f..." to 0x6465, "h..." 0x6667.
TEST_F(RomBrowserApp, LoadsAFileOverThePromOrChangesNothing) {
    struct Case {
        std::string name;
        int length;
        std::uint16_t pc;
    };
    std::vector<Case> cases = {
        {"full.snd", 2048, 0x6465},     {"half.snd", 1024, 0x6061}, {"empty.snd", 0, 0x6061},
        {"huge.snd", 10 << 20, 0x6667}, {"base.snd", 2048, 0x6061}, {"dir.snd", -1, 0x1234},
        {"missing.snd", -1, 0x1234},    {"", -1, 0x1234},           {"fifo.snd", -1, 0x1234},
    };
    cases.push_back({std::string(300, 'n') + ".snd", -1, 0x1234});   // too long to open
    cases.push_back({std::string(251, 'l') + ".snd", 2048, 0x6A6B}); // the longest allowed
    cases.push_back({"\x81\xff with blanks .snd", 100, 0x6061});
    std::filesystem::create_directories("dir.snd/inside.snd");
    ASSERT_EQ(mkfifo("fifo.snd", 0600), 0);
    std::fstream fifo("fifo.snd"); // both ends: a load that opened it would take these bytes
    fifo << std::string(2048, '\1') << std::flush;
    const auto image = [](const Case& c) {
        std::vector<unsigned char> bytes(static_cast<std::size_t>(std::max(c.length, 0)));
        std::iota(bytes.begin(), bytes.end(), static_cast<unsigned char>(c.name[0]));
        return bytes;
    };
    ScratchDir::write("base.snd", image(cases[4]));
    std::uint8_t* const memory = app.cpu.memory;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> bytes = image(c);
        if (c.length >= 0) ScratchDir::write(c.name, bytes);
        app.browser.loadImage(app, "base.snd");
        SDL_PauseAudio(1); // so that nothing runs the processor while the test looks
        std::fill_n(memory + 0xF800, 16, 0xEE);
        memory[0x0010] = memory[0x0500] = memory[0xF7FF] = 0x5A;
        app.cpu.PC = 0x1234;
        app.mode = App::modeRomSelect;
        std::vector<unsigned char> expected(memory, memory + 0x10000);
        std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 2048), &expected[0xF800]);
        const std::size_t from = c.length < 0 ? 0 : 0x0500; // the reset clears below 0x0500

        app.browser.loadImage(app, c.name);
        const bool loaded = SDL_GetAudioStatus() == SDL_AUDIO_PLAYING;
        SDL_PauseAudio(1);
        EXPECT_EQ(loaded, c.length >= 0);
        EXPECT_EQ(std::vector<unsigned char>(memory + from, memory + 0x10000),
                  std::vector<unsigned char>(expected.begin() + from, expected.end()));
        EXPECT_EQ(app.cpu.PC, c.pc);
        EXPECT_EQ(app.mode, loaded ? App::modeDebugger : App::modeRomSelect);
        EXPECT_EQ(app.browser.loadedFileName, loaded ? c.name : "base.snd");
    }
}

TEST_F(RomBrowserApp, KeepsTheHighlightWithinTheListAndLoadsNothingFromAnEmptyOne) {
    // Steps past either end stay; a shrunken list puts it on its last entry; an empty one,
    // even with Return, has none.
    const struct {
        int count, before, dy, after;
    } cases[] = {{3, 0, +1, 1},  {3, 1, -1, 0},   {3, 0, -1, 0}, {3, 2, +1, 2},
                 {1, 0, +1, 0},  {1, 0, -1, 0},   {2, 5, 0, 1},  {0, 0, 0, -1},
                 {0, 0, +1, -1}, {0, -1, -1, -1}, {4, -1, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.count << " entries, " << c.before << " + " << c.dy);
        app.browser.fileNames.assign(static_cast<std::size_t>(c.count), "missing.snd");
        app.browser.selectedIndex = c.before;
        app.control.cursorDy = c.dy;
        app.control.enter = c.count == 0;
        app.browser.frame(app);
        EXPECT_EQ(app.browser.selectedIndex, c.after);
        EXPECT_EQ(app.mode, App::modeRomSelect);
    }
}

} // namespace
