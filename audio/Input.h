#pragma once

#include <SDL.h>

struct ControlBlock;

// Turns SDL's queued events into one command batch.
struct Input {
    SDL_Event event{};

    // Drains the event queue into a fresh batch and sets pending. Returns false at once on
    // Escape or the window's close request (pending is then left unset).
    bool poll(ControlBlock& control);
};
