#pragma once

#include "audio/TypedEntry.h"

#include <SDL.h>

#include <cstdint>
#include <string>

struct ControlBlock;

// Turns SDL's queued events into one command batch. Main thread only.
struct Input {
    // Keys that the main loop acts on itself, counted per press since it last took them;
    // the audio thread never sees them.
    struct Keys {
        std::int32_t help = 0;
        std::int32_t fullscreen = 0;
        std::int32_t record = 0; // V: start or stop recording
        std::int32_t labels = 0; // N: plain or labelled listing
        std::int32_t trace = 0;  // T: start or stop the instruction trace
    };

    SDL_Event event{};
    Keys keys;
    TypedEntry entry;    // kept across polls until its last digit completes it
    std::string dropped; // the last file dropped on the window; the App takes it

    // Drains the event queue into a fresh batch and sets pending. Returns false at once on
    // Escape or the window's close request (pending is then left unset).
    bool poll(ControlBlock& control);
    // The main-thread keys pressed since the last call, which forgets them.
    Keys takeKeys() {
        const Keys taken = keys;
        keys = Keys{};
        return taken;
    }
};
