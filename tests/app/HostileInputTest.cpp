// Hostile input through the whole program: a working directory full of odd names and odd
// files, a flood of queued keys, and every key on both screens. Each case must end in the
// documented behaviour, lose nothing and crash nothing.
#include "tests/support/LiveApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> rom(unsigned char fill) {
    std::vector<unsigned char> bytes(2048, fill);
    bytes[2046] = 0xF8; // reset to 0xF800
    bytes[2047] = 0x00;
    return bytes;
}

std::vector<unsigned char> promOf(const App& app) {
    return {app.cpu.memory + Mc6802::romBase, app.cpu.memory + Mc6802::memorySize};
}

std::size_t indexOf(const App& app, const std::string& name) {
    const auto& names = app.browser.fileNames;
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

// Loads the named entry the way the user does: highlight it, press Return, one iteration.
void pressReturnOn(LiveApp& live, const std::string& name) {
    live.app.browser.selectedIndex = static_cast<std::int32_t>(indexOf(live.app, name));
    pushKey(SDLK_RETURN);
    live.app.iterate();
}

// Back from the debugger to the selection screen with L.
void backToSelection(LiveApp& live) {
    ASSERT_TRUE(live.iterateUntilBatchTaken());
    pushKey(SDLK_l);
    live.app.iterate();
    ASSERT_EQ(live.app.mode, App::modeRomSelect);
}

// The board's invariants, checked while the audio thread is held off: the PROM holds the
// loaded image (zeros before the first load), whatever the keys made the program do.
void expectSaneBoard(App& app, const std::vector<unsigned char>& prom) {
    SDL_LockAudio();
    EXPECT_EQ(promOf(app),
              app.browser.loadedFileName.empty() ? std::vector<unsigned char>(2048, 0) : prom);
    const std::uint32_t* heat = app.cpu.heat;
    EXPECT_LE(*std::max_element(heat, heat + HeatMap::size), HeatMap::max);
    const std::int32_t c = app.audio.editCursor;
    EXPECT_TRUE((c >= 0 && c <= 512) || (c >= 2048 && c <= 2080)) << c;
    EXPECT_GE(app.audio.speed, AudioEngine::minSpeed);
    EXPECT_LE(app.audio.speed, AudioEngine::maxSpeed);
    SDL_UnlockAudio();
}

const std::string longName = std::string(251, 'L') + ".snd"; // 255 bytes, the most allowed

// 10,000 entries, about half of them ROM names: bytes 0x80..0xFF, blanks, the longest name
// the file system takes, names that only look like ROMs, directories, empty files and one
// of 10 MB.
std::vector<std::string> fillDirectory() {
    std::vector<std::string> roms;
    for (int i = 0; i < 10000; ++i) {
        const std::string n = std::to_string(i);
        std::string name;
        switch (i % 6) {
        case 0: name = n + ".snd"; break;
        case 1:
            name = std::string(1, static_cast<char>(0x80 + i % 128)) + "\xff" + n + ".snd";
            break;
        case 2: name = " " + n + " with blanks .snd"; break;
        case 3: name = n + ".SND"; break;
        case 4: name = n + ".snd.bak"; break;
        case 5: name = std::string(240, 'x') + n + ".snd"; break;
        }
        ScratchDir::write(name, i % 12 == 0 || i > 12 ? std::vector<unsigned char>{} : rom(0x01));
        if (i % 6 < 3 || i % 6 == 5) roms.push_back(name);
    }
    std::filesystem::create_directory("folder.snd");
    ScratchDir::write(longName, rom(0x22));
    std::vector<unsigned char> huge(10 * 1024 * 1024, 0x55);
    huge[2046] = 0xF8;
    huge[2047] = 0x10;
    ScratchDir::write("huge.snd", huge);
    roms.insert(roms.end(), {"folder.snd", longName, "huge.snd"});
    return roms;
}

TEST(HostileInput, TenThousandOddlyNamedFilesAreListedAndLoadable) {
    std::vector<std::string> expected;
    LiveApp live([&] { expected = fillDirectory(); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    app.mode = App::modeRomSelect;

    std::vector<std::string> listed = app.browser.fileNames;
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected); // every ROM name once, byte for byte; nothing else
    app.iterate();               // one selection frame with every name drawn

    struct Case {
        std::string name;
        bool loads;
        unsigned char firstByte; // of the PROM afterwards
        std::uint16_t pc;
    };
    const Case cases[] = {
        {"folder.snd", false, 0x00, 0x0000}, // a directory: nothing changes
        {longName, true, 0x22, 0xF800},
        {"huge.snd", true, 0x55, 0xF810}, // its first 2048 bytes
        {"0.snd", false, 0x55, 0xF810},   // empty: loads nothing, keeps the last image
        {std::string("\x81\xff") + "1.snd", true, 0x01, 0xF800},
        {" 2 with blanks .snd", true, 0x01, 0xF800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LT(indexOf(app, c.name), app.browser.fileNames.size());
        pressReturnOn(live, c.name);
        if (!c.loads && c.name == "folder.snd") {
            EXPECT_EQ(app.mode, App::modeRomSelect);
            EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
            continue;
        }
        // An empty file is a load of nothing: the debugger shows the image that was there.
        EXPECT_EQ(app.mode, App::modeDebugger);
        EXPECT_EQ(app.browser.loadedFileName, c.name);
        EXPECT_EQ(app.cpu.memory[Mc6802::romBase], c.firstByte);
        EXPECT_EQ(app.cpu.PC, c.pc);
        backToSelection(live);
    }
    // A name longer than the file system allows cannot be opened: nothing changes.
    const auto before = promOf(app);
    app.browser.loadImage(app, std::string(300, 'n') + ".snd");
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_EQ(promOf(app), before);
}

// SDL's queue holds 65,535 events. 10,000 key presses queued at once are all taken by one
// poll into one batch, so they act as one: Right moves one nibble, the last digit counts,
// and P toggles once per press. Past the queue's size SDL refuses the push; the program
// still drains what is queued and runs on.
TEST(HostileInput, TenThousandQueuedKeysMakeOneBatch) {
    LiveApp live([] { ScratchDir::write("tune.snd", rom(0x01)); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    app.mode = App::modeRomSelect;
    pushKey(SDLK_RETURN);
    app.iterate();
    ASSERT_TRUE(live.iterateUntilBatchTaken());
    const bool runningBefore = app.control.running.load();

    int pushed = 0;
    for (int i = 0; i < 10000; ++i) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = i % 2 ? SDLK_RIGHT : (i % 4 ? SDLK_p : SDLK_3 + i % 5);
        pushed += SDL_PushEvent(&event) == 1;
    }
    EXPECT_EQ(pushed, 10000);
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
    EXPECT_EQ(app.control.running.load(), runningBefore); // 2,500 presses of P
    EXPECT_EQ(app.control.cursorDx, 1);
    EXPECT_EQ(app.control.hexDigit, 3 + 9996 % 5);
    ASSERT_TRUE(live.iterateUntilBatchTaken());
    // The digit went into nibble 0 (high nibble of 0x0000) after one move right: nibble 1.
    EXPECT_EQ(app.cpu.memory[0x0000] & 0x0F, 3 + 9996 % 5);
    EXPECT_EQ(app.audio.editCursor, 2);

    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = SDLK_x; // no key of the program
    int accepted = 0;
    for (int i = 0; i < 70000; ++i)
        accepted += SDL_PushEvent(&event) == 1;
    EXPECT_LT(accepted, 70000);
    EXPECT_GE(accepted, 65000);
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
    ASSERT_TRUE(live.iterateUntilBatchTaken());
    EXPECT_EQ(app.mode, App::modeDebugger);
}

// Every key of the program, one at a time, on both screens while the processor runs, and
// every other key code in one batch: each does what its screen makes of it, and nothing
// else changes.
TEST(HostileInput, EveryKeyOnBothScreens) {
    LiveApp live([] { ScratchDir::write("tune.snd", rom(0x01)); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    app.mode = App::modeRomSelect;
    const std::vector<unsigned char> prom = rom(0x01);

    const SDL_Keycode programKeys[] = {
        SDLK_SPACE,  SDLK_p,      SDLK_i,    SDLK_r,           SDLK_l,
        SDLK_RETURN, SDLK_RIGHT,  SDLK_LEFT, SDLK_DOWN,        SDLK_UP,
        SDLK_0,      SDLK_5,      SDLK_9,    SDLK_a,           SDLK_f,
        SDLK_MINUS,  SDLK_EQUALS, SDLK_TAB,  SDLK_LEFTBRACKET, SDLK_RIGHTBRACKET};
    std::vector<SDL_Keycode> otherKeys;
    for (SDL_Keycode k = 1; k < 128; ++k)
        if (k != SDLK_ESCAPE &&
            std::find(std::begin(programKeys), std::end(programKeys), k) == std::end(programKeys) &&
            !(k >= SDLK_0 && k <= SDLK_9) && !(k >= SDLK_a && k <= SDLK_f))
            otherKeys.push_back(k);
    for (int sc = SDL_SCANCODE_CAPSLOCK; sc < SDL_NUM_SCANCODES; ++sc)
        if (sc < SDL_SCANCODE_RIGHT || sc > SDL_SCANCODE_UP)
            otherKeys.push_back(SDL_SCANCODE_TO_KEYCODE(sc));

    for (const bool debugger : {false, true}) {
        SCOPED_TRACE(debugger ? "debugger" : "selection");
        if (debugger) {
            pushKey(SDLK_RETURN);
            app.iterate();
            ASSERT_EQ(app.mode, App::modeDebugger);
            ASSERT_TRUE(live.iterateUntilBatchTaken());
        }
        const std::int32_t screen = app.mode;
        for (const SDL_Keycode key : programKeys) {
            SCOPED_TRACE(key);
            if (screen == App::modeDebugger && !app.control.running.load()) {
                pushKey(SDLK_p); // keep the processor running under the keys
                app.iterate();
                ASSERT_TRUE(live.iterateUntilBatchTaken());
            }
            pushKey(key);
            EXPECT_TRUE(app.iterate());
            if (screen == App::modeRomSelect && key == SDLK_RETURN) {
                EXPECT_EQ(app.mode, App::modeDebugger);
                backToSelection(live);
            } else if (screen == App::modeDebugger && key == SDLK_l) {
                EXPECT_EQ(app.mode, App::modeRomSelect);
                EXPECT_FALSE(app.control.running.load());
                pushKey(SDLK_RETURN);
                app.iterate();
                ASSERT_EQ(app.mode, App::modeDebugger);
            } else {
                EXPECT_EQ(app.mode, screen);
            }
            if (app.mode == App::modeDebugger) {
                ASSERT_TRUE(live.iterateUntilBatchTaken());
            }
            expectSaneBoard(app, prom);
        }

        const bool running = app.control.running.load();
        for (const SDL_Keycode key : otherKeys)
            pushKey(key);
        EXPECT_TRUE(app.iterate());
        EXPECT_EQ(app.mode, screen);
        EXPECT_EQ(app.control.running.load(), running);
        EXPECT_FALSE(app.control.step || app.control.irq || app.control.reset ||
                     app.control.enter || app.control.load || app.control.switchPanel);
        EXPECT_EQ(app.control.hexDigit, -1);
        EXPECT_EQ(app.control.cursorDx | app.control.cursorDy | app.control.adjust |
                      app.control.speedDelta,
                  0);
        if (app.mode == App::modeDebugger) {
            ASSERT_TRUE(live.iterateUntilBatchTaken());
        }
        expectSaneBoard(app, prom);
    }
}

} // namespace
