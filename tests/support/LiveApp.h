#pragma once

#include "app/App.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFont.h"

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <thread>

// Headless SDL unless the environment says otherwise.
inline void useHeadlessSdl() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
}

// A whole started App in a scratch working directory, torn down at the end. Files meant
// for the first scan go in through prepare, which runs inside the directory before init.
struct LiveApp {
    ScratchDir dir;
    App app;
    bool started = false;

    template <typename Prepare> explicit LiveApp(Prepare prepare, bool withFont = true) {
        useHeadlessSdl();
        if (withFont) writeSolidFont();
        prepare();
        started = app.init();
    }
    LiveApp() : LiveApp([] {}) {}
    ~LiveApp() { app.teardown(); }
    LiveApp(const LiveApp&) = delete;
    LiveApp& operator=(const LiveApp&) = delete;

    // Waits (iterating the main loop) until the audio thread has taken the pending batch.
    bool iterateUntilBatchTaken(int timeoutMs = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (app.control.pending.load()) {
            if (std::chrono::steady_clock::now() > end) return false;
            app.iterate();
        }
        return true;
    }
};

// Queues a key press as SDL would deliver it.
inline void pushKey(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    SDL_PushEvent(&event);
}
