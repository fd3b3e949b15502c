#include "tests/support/LiveApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> romWithReset(std::uint16_t target) {
    std::vector<unsigned char> bytes(2048, 0x01); // NOPs
    bytes[2046] = static_cast<unsigned char>(target >> 8);
    bytes[2047] = static_cast<unsigned char>(target);
    return bytes;
}

int queuedKeyDowns() {
    SDL_PumpEvents();
    return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYDOWN);
}

// Sets an environment variable for the life of the object.
struct EnvOverride {
    std::string name;
    std::string old;
    bool had;
    EnvOverride(const char* n, const char* value) : name(n) {
        const char* current = std::getenv(n);
        had = current != nullptr;
        if (had) old = current;
        setenv(n, value, 1);
    }
    ~EnvOverride() {
        if (had)
            setenv(name.c_str(), old.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

TEST(App, ConstructionSetsTheDocumentedStartValues) {
    App app;
    EXPECT_STREQ(app.screen.hexDigits, "0123456789ABCDEF");
    EXPECT_FALSE(app.control.running.load());
    EXPECT_FALSE(app.control.pending.load());
    EXPECT_EQ(app.control.hexDigit, -1);
    EXPECT_EQ(app.cpu.cycleCount, 0u);
    EXPECT_EQ(app.audio.sampleCount, 0u);
    EXPECT_EQ(app.audio.speed, 19);
    EXPECT_EQ(app.browser.selectedIndex, 0);
    EXPECT_TRUE(app.browser.fileNames.empty());
    EXPECT_TRUE(app.browser.loadedFileName.empty());
}

TEST(App, StartsOnTheSelectionScreenWithAudioPaused) {
    LiveApp live([] { ScratchDir::write("tune.snd", romWithReset(0xF800)); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    EXPECT_EQ(app.browser.fileNames, std::vector<std::string>{"tune.snd"});
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    ASSERT_NE(app.cpu.memory, nullptr);
    ASSERT_NE(app.cpu.heat, nullptr);
    EXPECT_EQ(app.cpu.PC, 0x0000); // reset from an all-zero memory
    EXPECT_EQ(app.audio.cpu, &app.cpu);
    EXPECT_EQ(app.audio.control, &app.control);
    EXPECT_NE(app.screen.window, nullptr);
    EXPECT_NE(app.screen.renderer, nullptr);

    pushKey(SDLK_ESCAPE);
    app.run();
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_FALSE(app.control.running.load());
}

// Return loads, P runs, L goes back (stopping the processor, pausing audio and rescanning),
// and Escape ends the loop.
TEST(App, MainLoopFollowsTheKeys) {
    LiveApp live([] { ScratchDir::write("tune.snd", romWithReset(0xF800)); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    app.mode = App::modeRomSelect; // as run() begins

    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);

    pushKey(SDLK_RETURN);
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "tune.snd");
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    EXPECT_FALSE(app.control.running.load()); // waits for P

    // The audio thread takes the batch that held Return; then P starts the processor.
    ASSERT_TRUE(live.iterateUntilBatchTaken());
    pushKey(SDLK_p);
    EXPECT_TRUE(app.iterate());
    EXPECT_TRUE(app.control.running.load());
    ASSERT_TRUE(live.iterateUntilBatchTaken());

    ScratchDir::write("later.snd", romWithReset(0xF900));
    pushKey(SDLK_l);
    EXPECT_TRUE(app.iterate());
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_FALSE(app.control.running.load());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    EXPECT_EQ(app.browser.fileNames.size(), 2u);
    EXPECT_NE(std::find(app.browser.fileNames.begin(), app.browser.fileNames.end(), "later.snd"),
              app.browser.fileNames.end());

    pushKey(SDLK_ESCAPE);
    EXPECT_FALSE(app.iterate());
    EXPECT_EQ(app.mode, App::modeRomSelect);
}

// In the debugger, new keys wait in SDL's queue while a batch is still pending.
TEST(App, APendingBatchHoldsNewKeysInTheQueue) {
    LiveApp live([] { ScratchDir::write("tune.snd", romWithReset(0xF800)); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    app.mode = App::modeRomSelect;
    pushKey(SDLK_RETURN);
    app.iterate();
    ASSERT_EQ(app.mode, App::modeDebugger);
    ASSERT_TRUE(live.iterateUntilBatchTaken());

    SDL_LockAudio(); // holds the audio thread off, so the next batch stays pending
    pushKey(SDLK_p);
    app.iterate();
    EXPECT_TRUE(app.control.running.load());
    EXPECT_TRUE(app.control.pending.load());
    pushKey(SDLK_p);
    app.iterate();
    app.iterate();
    EXPECT_TRUE(app.control.running.load()); // the second P has not been polled
    EXPECT_EQ(queuedKeyDowns(), 1);
    SDL_UnlockAudio();

    ASSERT_TRUE(live.iterateUntilBatchTaken());
    app.iterate();
    EXPECT_FALSE(app.control.running.load());
    EXPECT_EQ(queuedKeyDowns(), 0);
}

// Escape ends the loop only after the rest of its iteration: a Return in the same batch
// still loads in that iteration's frame.
TEST(App, EscapeFinishesTheCurrentIteration) {
    LiveApp live([] { ScratchDir::write("tune.snd", romWithReset(0xF800)); });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    pushKey(SDLK_RETURN);
    pushKey(SDLK_ESCAPE);
    app.run();
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "tune.snd");
}

// The dummy video driver presents without waiting; the loop still keeps to 60 frames a
// second instead of spinning.
TEST(App, FramesArePacedWhenPresentingDoesNotWait) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    App& app = live.app;
    app.mode = App::modeRomSelect;
    constexpr int frames = 12;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i)
        app.iterate();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(frames * 16));
}

// Without a usable audio device the program warns and runs on SDL's dummy driver, whose
// callback keeps the processor's clock and the key hand-over going.
TEST(App, FallsBackToTheDummyAudioDriver) {
    EnvOverride audio("SDL_AUDIODRIVER", "nosuchdriver");
    ::testing::internal::CaptureStderr();
    LiveApp live([] { ScratchDir::write("tune.snd", romWithReset(0xF800)); });
    const std::string errors = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(live.started);
    App& app = live.app;
    EXPECT_NE(errors.find("cannot open the audio device"), std::string::npos) << errors;
    ASSERT_NE(SDL_GetCurrentAudioDriver(), nullptr);
    EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "dummy");
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    EXPECT_NE(app.screen.window, nullptr); // the other subsystems still came up

    app.mode = App::modeRomSelect;
    pushKey(SDLK_RETURN);
    app.iterate();
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    EXPECT_TRUE(live.iterateUntilBatchTaken());
}

TEST(App, InitFailsWithoutADisplayAndTeardownCopes) {
    EnvOverride video("SDL_VIDEODRIVER", "nosuchdriver");
    useHeadlessSdl();
    ScratchDir dir;
    App app;
    EXPECT_FALSE(app.init());
    app.teardown();
    EXPECT_EQ(app.cpu.memory, nullptr);
    EXPECT_EQ(app.screen.window, nullptr);
}

TEST(App, TeardownReleasesEverything) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    live.app.teardown();
    EXPECT_EQ(live.app.memory, nullptr);
    EXPECT_EQ(live.app.heatMap, nullptr);
    EXPECT_EQ(live.app.screen.font, nullptr);
    EXPECT_EQ(live.app.screen.renderer, nullptr);
    EXPECT_EQ(live.app.screen.window, nullptr);
    EXPECT_EQ(SDL_WasInit(0), 0u);
}

} // namespace
