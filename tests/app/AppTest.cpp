#include "tests/support/LiveApp.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <chrono>

// Starts on the selection screen, audio paused; Return loads and plays, stopped; keys wait
// while a batch is pending; L stops, rescans, pauses; Escape ends after its iteration.
TEST(App, MainLoopFollowsTheKeys) {
    LiveApp live([] { ScratchDir::write("tune.snd", readRomImage("demo")); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(app.iterate());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(12 * 16));
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);

    LiveApp::pushKey(SDLK_RETURN);
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    EXPECT_FALSE(app.control.running);
    ASSERT_TRUE(live.iterateUntilBatchTaken());

    SDL_LockAudio(); // holds the audio thread off, so that the next batch stays pending
    LiveApp::pushKey(SDLK_p);
    app.iterate();
    EXPECT_TRUE(app.control.running);
    ScratchDir::write("later.snd", {});
    LiveApp::pushKey(SDLK_l);
    app.iterate();
    app.iterate();
    SDL_PumpEvents();
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYDOWN), 1); // L waits
    SDL_UnlockAudio();
    ASSERT_TRUE(live.iterateUntilBatchTaken());
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_FALSE(app.control.running);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    ASSERT_EQ(app.browser.fileNames.size(), 2u); // rescanned
    app.browser.selectedIndex = app.browser.fileNames[0] == "later.snd" ? 0 : 1;
    LiveApp::pushKey(SDLK_RETURN);
    LiveApp::pushKey(SDLK_ESCAPE);
    app.run();
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "later.snd");
}

// Without an audio device (here: taken) start-up fails with one line saying so.
TEST(App, WithoutAnAudioDeviceStartUpSaysSoAndFails) {
    LiveApp live([] {
        SDL_Init(SDL_INIT_AUDIO);
        SDL_AudioSpec wanted{}; // SDL's defaults; no callback: a queue
        EXPECT_EQ(SDL_OpenAudio(&wanted, nullptr), 0) << SDL_GetError();
        testing::internal::CaptureStderr();
    });
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(live.started);
    EXPECT_NE(said.find("no audio device"), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
}

// A .snd file dropped on the window is loaded from its directory, stopped; any other is not.
TEST(App, LoadsADroppedImage) {
    LiveApp live([] {
        std::filesystem::create_directory("sub");
        ScratchDir::write("sub/tune.snd", readRomImage("tone"));
        ScratchDir::write("sub/tune.txt", readRomImage("tone"));
    });
    for (const char* name : {"sub/tune.snd", "sub/tune.txt"}) {
        SDL_Event drop{SDL_DROPFILE};
        drop.drop.file = SDL_strdup(name);
        SDL_PushEvent(&drop);
        live.app.iterate(); // the debugger polls once the last batch is taken
        ASSERT_TRUE(live.app.mode == App::modeRomSelect || live.iterateUntilBatchTaken());
    }
    EXPECT_EQ(live.app.mode, App::modeDebugger);
    EXPECT_EQ(live.app.browser.directory, "sub");
    EXPECT_EQ(live.app.browser.fileNames, std::vector<std::string>{"tune.snd"});
    EXPECT_EQ(live.app.browser.loadedFileName, "tune.snd");
    EXPECT_EQ(live.app.reloadNotice, "not a .snd image");
}

// Padded to 1/60 s unless presenting waited (a present that returned at once did not):
// elapsed, present waits, padding.
TEST(FramePacing, PadsOnlyWhenPresentingDidNotWait) {
    const std::tuple<double, bool, double> cases[] = {
        // clang-format off
        {0.005, false, 1 / 60.0 - 0.005}, {0.020, false, 0}, {0.007, true, 0},
        {0.001, true, 1 / 60.0 - 0.001}}; // clang-format on
    for (auto [elapsed, waits, pad] : cases)
        EXPECT_NEAR(App::framePadding(elapsed, waits), pad, 1e-9) << elapsed << " " << waits;
}

// A script's trace commands are the main thread's: trace on opens the file named (a second
// trace on and a trace off with none running fail, each counted), trace off saves it, and
// irq hold reaches the debugger.
TEST(App, ScriptStartsAndStopsANamedTrace) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    App& app = live.app;
    EXPECT_EQ(app.runScript("trace on my.txt if pc<f900\ntrace on\nirq hold\ntrace off\ntrace off",
                            "setup"),
              2);
    EXPECT_EQ(app.tracer.statusName(), "saved my.txt");
    EXPECT_TRUE(std::filesystem::exists("my.txt"));
    EXPECT_TRUE(app.audio.debugger.status.irqHold);
}
