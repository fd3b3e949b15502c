#pragma once

#include "app/App.h"
#include "tests/support/ScratchDir.h"

// A started App in a scratch directory with the font; prepare runs there before init.
struct LiveApp {
    ScratchDir dir;
    App app;
    bool started = false;

    template <typename Prepare> explicit LiveApp(Prepare prepare) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("SDL_RENDER_DRIVER", "software", 0);
        std::filesystem::copy_file(HUMMBOX_FONT_BMP, "font.bmp");
        prepare();
        started = app.init();
    }
    LiveApp() : LiveApp([] {}) {}
    ~LiveApp() { app.teardown(); }

    // Iterates the main loop (16 ms or more each) until the audio thread took the batch; on a
    // loaded machine that thread may wait seconds for a core.
    bool iterateUntilBatchTaken() {
        for (int i = 0; app.control.pending && i < 600; ++i)
            app.iterate();
        return !app.control.pending;
    }
    static void pushKey(SDL_Keycode key) {
        SDL_Event event{SDL_KEYDOWN};
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }
};
