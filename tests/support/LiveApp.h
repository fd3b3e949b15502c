#pragma once

#include "app/App.h"
#include "tests/support/ScratchDir.h"

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

    template <typename Prepare> explicit LiveApp(Prepare prepare) {
        useHeadlessSdl();
        std::filesystem::copy_file(HUMMBOX_FONT_BMP, "font.bmp"); // the program's own font
        prepare();
        started = app.init();
    }
    LiveApp() : LiveApp([] {}) {}
    ~LiveApp() { app.teardown(); }

    // Iterates the main loop (a frame of at least 16 ms each) until the audio thread has
    // taken the pending batch.
    bool iterateUntilBatchTaken(int timeoutMs = 3000) {
        for (int waited = 0; app.control.pending.load() && waited < timeoutMs; waited += 16)
            app.iterate();
        return !app.control.pending.load();
    }
    // A key press and one iteration; in the debugger, also until the audio thread took the
    // batch. False when the loop was asked to end or the batch was never taken.
    bool press(SDL_Keycode key);
};

// Queues a key press as SDL would deliver it; false when SDL's queue is full.
inline bool pushKey(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    return SDL_PushEvent(&event) == 1;
}

inline bool LiveApp::press(SDL_Keycode key) {
    pushKey(key);
    return app.iterate() && (app.mode != App::modeDebugger || iterateUntilBatchTaken());
}
