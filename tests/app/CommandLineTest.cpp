#include "app/CommandLine.h"
#include "tests/support/LiveApp.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <set>

// Each row is a command line, what it must end with (run: -1) and, for a run, where the
// selection screen lists from and which image is loaded at once. A refused path is named in a
// single line with the argument at fault.
TEST(CommandLine, AcceptsUsablePathsAndRefusesTheRest) {
    ScratchDir dir;
    const std::string odd = "sub dir/caf\xc3\xa9 \x80.snd";
    std::filesystem::create_directories("sub dir/dir.snd");
    for (const char* name : {"tune.snd", "-dash.snd", "empty.snd", "tune.bin", odd.c_str()})
        ScratchDir::write(name, std::vector<unsigned char>(name[0] == 'e' ? 0 : 2048, 0x7E));
    ASSERT_EQ(mkfifo("fifo.snd", 0600), 0);
    const struct {
        std::vector<const char*> args;
        int status;
        const char* directory;
        std::string image;
        bool complete = false;
    } cases[] = {
        {{}, -1, "", ""},
        {{"tune.snd"}, -1, "", "tune.snd"},
        {{"empty.snd"}, -1, "", "empty.snd"},
        {{"tune.bin"}, -1, "", "tune.bin"},
        {{odd.c_str()}, -1, "sub dir", odd.substr(8)},
        {{"sub dir"}, -1, "sub dir", ""},
        {{"sub dir/dir.snd"}, -1, "sub dir/dir.snd", ""},
        {{"--", "-dash.snd"}, -1, "", "-dash.snd"},
        {{"--cpu", "complete", "./tune.snd"}, -1, ".", "tune.snd", true},
        {{"--cpu=board", "--", "sub dir"}, -1, "sub dir", ""},
        {{"-dash.snd"}, 2, "", ""},
        {{"missing.snd"}, 2, "", ""},
        {{"fifo.snd"}, 2, "", ""},
        {{""}, 2, "", ""},
        {{"tune.snd", "sub dir"}, 2, "", ""},
        {{"--", "--help"}, 2, "", ""},
        {{"--cpu"}, 2, "", ""},
        {{"--cpu", "z80"}, 2, "", ""},
        {{"tune.snd", "--cpu="}, 2, "", ""},
        {{"--help", "missing.snd"}, 0, "", ""},
        {{"--version"}, 0, "", ""},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv{"hummbox"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(testing::PrintToString(std::vector<std::string>(argv.begin(), argv.end())));
        const CommandLine parsed = CommandLine::parse(int(argv.size()), argv.data());
        EXPECT_EQ(parsed.exitStatus, c.status);
        if (c.status == CommandLine::run) {
            EXPECT_EQ(parsed.options.directory, c.directory);
            EXPECT_EQ(parsed.options.image, c.image);
            EXPECT_EQ(parsed.options.cpu == Options::InstructionSet::complete, c.complete);
        } else if (c.status == 2) {
            EXPECT_EQ(std::count(parsed.message.begin(), parsed.message.end(), '\n'), 1);
            EXPECT_NE(parsed.message.find(argv.back()), std::string::npos) << parsed.message;
        } else {
            EXPECT_NE(parsed.message.find(argv[1] == std::string("--help") ? "--cpu" : "hummbox 0"),
                      std::string::npos);
        }
    }
}

// Started with an image in another directory: the list is that directory's, the image
// highlighted and loaded, the processor reset and stopped, the debugger shown; L returns to
// the same list.
TEST(CommandLine, StartsOnTheImageItNames) {
    ScratchDir dir; // the working directory: nothing of it may be listed
    for (const char* name : {"SDL_VIDEODRIVER", "SDL_AUDIODRIVER"})
        setenv(name, "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    std::filesystem::copy_file(HUMMBOX_FONT_BMP, "font.bmp");
    ScratchDir::write("here.snd", {1});
    std::filesystem::create_directory("other dir");
    for (const char* name : {"other dir/a.snd", "other dir/b.snd", "other dir/c.snd"})
        ScratchDir::write(name, readRomImage(name[10] == 'b' ? "tone" : "demo"));
    const char* argv[] = {"hummbox", "other dir/b.snd"};
    App app;
    app.options = CommandLine::parse(2, argv).options;
    ASSERT_TRUE(app.init());
    const std::vector<std::string> listed = app.browser.fileNames;
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()),
              std::set<std::string>({"a.snd", "b.snd", "c.snd"}));
    SDL_Event quit{SDL_QUIT};
    SDL_PushEvent(&quit);
    app.run();
    EXPECT_EQ(listed.at(std::size_t(app.browser.selectedIndex)), "b.snd");
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "b.snd");
    const std::vector<unsigned char> tone = readRomImage("tone");
    EXPECT_EQ(app.cpu.PC, tone[2046] << 8 | tone[2047]);
    EXPECT_FALSE(app.control.running);
    LiveApp::pushKey(SDLK_l);
    for (int i = 0; i < 100 && app.mode == App::modeDebugger; ++i)
        app.iterate();
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_EQ(app.browser.fileNames, listed);
    app.teardown();
}
