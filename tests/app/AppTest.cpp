#include "tests/support/LiveApp.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

int queuedKeyDowns() {
    SDL_PumpEvents();
    return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYDOWN);
}

// A session: it starts on the selection screen, audio paused; Return loads and plays, the
// processor waiting for P; keys wait in SDL's queue while a batch is pending; L stops, rescans
// and pauses; Escape ends the loop after its iteration, so a Return beside it still loads.
TEST(App, MainLoopFollowsTheKeys) {
    LiveApp live([] { ScratchDir::write("tune.snd", readRomImage("demo")); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    const auto running = [&] { return app.control.running.load(); };
    // Presenting on the dummy video driver does not wait: the loop paces itself to 60 Hz.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(app.iterate());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(12 * 16));
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);

    pushKey(SDLK_RETURN);
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "tune.snd");
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    EXPECT_FALSE(running());
    ASSERT_TRUE(live.iterateUntilBatchTaken());

    SDL_LockAudio(); // holds the audio thread off, so that the next batch stays pending
    pushKey(SDLK_p);
    app.iterate();
    EXPECT_TRUE(running());
    ScratchDir::write("later.snd", {});
    pushKey(SDLK_l);
    app.iterate();
    app.iterate();
    EXPECT_EQ(queuedKeyDowns(), 1); // L not yet polled
    SDL_UnlockAudio();
    ASSERT_TRUE(live.iterateUntilBatchTaken());
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_FALSE(running());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    ASSERT_EQ(app.browser.fileNames.size(), 2u); // rescanned
    app.browser.selectedIndex = app.browser.fileNames[0] == "later.snd" ? 0 : 1;
    pushKey(SDLK_RETURN);
    pushKey(SDLK_ESCAPE);
    app.run();
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "later.snd");
}

// SDL's queue holds 65,535 events. 10,000 key presses queued at once are taken by one poll
// into one batch, so they act as one: P 2,500 times leaves running as it was, Right moves one
// nibble, the last digit counts. Past the queue's size SDL refuses the push; the loop still
// drains what is queued and runs on.
TEST(App, AFloodOfQueuedKeysActsAsOneBatch) {
    LiveApp live([] { ScratchDir::write("tune.snd", readRomImage("demo")); });
    ASSERT_TRUE(live.started && live.press(SDLK_RETURN));
    App& app = live.app;
    const bool running = app.control.running;
    int pushed = 0;
    for (int i = 0; i < 10000; ++i)
        pushed += pushKey(i % 2 ? SDLK_RIGHT : i % 4 ? SDLK_p : SDLK_3 + i % 5);
    EXPECT_EQ(pushed, 10000);
    SDL_LockAudio(); // the batch stays pending while it is looked at
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(queuedKeyDowns(), 0);
    EXPECT_EQ(app.control.running.load(), running);
    EXPECT_EQ(app.control.cursorDx, 1);
    EXPECT_EQ(app.control.hexDigit, 3 + 9996 % 5);
    SDL_UnlockAudio();
    ASSERT_TRUE(live.iterateUntilBatchTaken());
    EXPECT_EQ(app.cpu.memory[0x0000] & 0x0F, 3 + 9996 % 5); // typed after one move right
    EXPECT_EQ(app.audio.editCursor, 2);

    int accepted = 0;
    for (int i = 0; i < 70000; ++i)
        accepted += pushKey(SDLK_x); // no key of the program
    EXPECT_TRUE(accepted >= 65000 && accepted < 70000) << accepted;
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(queuedKeyDowns(), 0);
    EXPECT_TRUE(live.iterateUntilBatchTaken());
}

// Whatever the keys did, with the audio thread held off: the PROM holds the loaded image
// (zeros before the first load), heat is within 0..100, the cursor in RAM or the PIA row (or
// just past either after a digit) and the speed within its range.
void expectSaneBoard(App& app, const std::vector<std::uint8_t>& image) {
    SDL_LockAudio();
    const std::uint8_t* prom = app.cpu.memory + Mc6802::romBase;
    EXPECT_EQ(std::vector(prom, prom + Mc6802::romSize),
              app.browser.loadedFileName.empty() ? std::vector<std::uint8_t>(2048) : image);
    EXPECT_LE(*std::max_element(app.cpu.heat, app.cpu.heat + HeatMap::size), HeatMap::max);
    const std::int32_t c = app.audio.editCursor, speed = app.audio.speed;
    EXPECT_TRUE((c >= 0 && c <= 512) || (c >= 2048 && c <= 2080)) << c;
    EXPECT_TRUE(speed >= AudioEngine::minSpeed && speed <= AudioEngine::maxSpeed) << speed;
    SDL_UnlockAudio();
}

// Every key of the program, one at a time, on both screens while the processor runs, then
// every other key code in one batch: each does what its screen makes of it, nothing else.
TEST(App, EveryKeyOnBothScreens) {
    const std::vector<std::uint8_t> image = readRomImage("demo");
    LiveApp live([&] { ScratchDir::write("tune.snd", image); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    const SDL_Keycode programKeys[] = {
        SDLK_SPACE,  SDLK_p,      SDLK_i,    SDLK_r,           SDLK_l,
        SDLK_RETURN, SDLK_RIGHT,  SDLK_LEFT, SDLK_DOWN,        SDLK_UP,
        SDLK_0,      SDLK_5,      SDLK_9,    SDLK_a,           SDLK_f,
        SDLK_MINUS,  SDLK_EQUALS, SDLK_TAB,  SDLK_LEFTBRACKET, SDLK_RIGHTBRACKET};
    std::vector<SDL_Keycode> otherKeys;
    for (SDL_Keycode k = 1; k < 128; ++k)
        if (k != SDLK_ESCAPE && std::count(programKeys, std::end(programKeys), k) == 0 &&
            !(k >= SDLK_0 && k <= SDLK_9) && !(k >= SDLK_a && k <= SDLK_f))
            otherKeys.push_back(k);
    for (int sc = SDL_SCANCODE_CAPSLOCK; sc < SDL_NUM_SCANCODES; ++sc)
        if (sc < SDL_SCANCODE_RIGHT || sc > SDL_SCANCODE_UP)
            otherKeys.push_back(SDL_SCANCODE_TO_KEYCODE(sc));

    for (const std::int32_t screen : {App::modeRomSelect, App::modeDebugger}) {
        SCOPED_TRACE(screen == App::modeDebugger ? "debugger" : "selection");
        ASSERT_TRUE(screen == App::modeRomSelect || live.press(SDLK_RETURN));
        for (const SDL_Keycode key : programKeys) {
            SCOPED_TRACE(key);
            // The processor runs under the keys.
            ASSERT_TRUE(screen == App::modeRomSelect || app.control.running || live.press(SDLK_p));
            ASSERT_TRUE(live.press(key));
            // Return on the selection screen and L in the debugger change screens; and back.
            EXPECT_EQ(app.mode != screen,
                      key == (screen == App::modeRomSelect ? SDLK_RETURN : SDLK_l));
            if (app.mode != screen) {
                EXPECT_TRUE(app.mode == App::modeDebugger || !app.control.running.load());
                ASSERT_TRUE(live.press(screen == App::modeRomSelect ? SDLK_l : SDLK_RETURN));
            }
            expectSaneBoard(app, image);
        }

        const bool running = app.control.running;
        for (const SDL_Keycode key : otherKeys)
            pushKey(key);
        SDL_LockAudio();
        EXPECT_TRUE(app.iterate());
        const ControlBlock& c = app.control;
        EXPECT_EQ(app.mode, screen);
        EXPECT_EQ(c.running.load(), running);
        EXPECT_FALSE(c.step || c.irq || c.reset || c.enter || c.load || c.switchPanel);
        EXPECT_EQ(c.hexDigit, -1);
        EXPECT_EQ(c.cursorDx | c.cursorDy | c.adjust | c.speedDelta, 0);
        SDL_UnlockAudio();
        ASSERT_TRUE(screen == App::modeRomSelect || live.iterateUntilBatchTaken());
        expectSaneBoard(app, image);
    }
}

} // namespace
