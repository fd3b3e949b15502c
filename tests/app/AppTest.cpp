#include "tests/support/LiveApp.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

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

// Without an audio device the program warns and runs on SDL's dummy driver, whose callback
// keeps the processor's clock and the key hand-over going. Without a display init fails.
TEST(App, FallsBackToDummyAudioAndFailsWithoutADisplay) {
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    ::testing::internal::CaptureStderr();
    {
        LiveApp live([] { ScratchDir::write("tune.snd", readRomImage("demo")); });
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(live.started);
        EXPECT_NE(errors.find("cannot open the audio device"), std::string::npos) << errors;
        EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "dummy");
        pushKey(SDLK_RETURN);
        live.app.iterate();
        EXPECT_TRUE(live.iterateUntilBatchTaken());
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("SDL_VIDEODRIVER", "nosuchdriver", 1);
    EXPECT_FALSE(LiveApp().started); // and its teardown copes
    setenv("SDL_VIDEODRIVER", "dummy", 1);
}

} // namespace
