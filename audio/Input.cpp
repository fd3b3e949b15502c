#include "audio/Input.h"

#include "audio/ControlBlock.h"

namespace {

// SDL key codes: the key symbol under the current layout. Letters arrive lower case
// whatever Shift or Caps Lock say; keypad keys have codes of their own and do nothing.
void applyKey(SDL_Keycode key, ControlBlock& control) {
    switch (key) {
    case SDLK_SPACE:
        control.step = true;
        control.running.store(false, std::memory_order_relaxed);
        break;
    case SDLK_p:
        control.running.store(!control.running.load(std::memory_order_relaxed),
                              std::memory_order_relaxed);
        break;
    case SDLK_i: control.irq = true; break;
    case SDLK_r: control.reset = true; break;
    case SDLK_l: control.load = true; break;
    case SDLK_RETURN: control.enter = true; break;
    case SDLK_RIGHT: control.cursorDx = 1; break;
    case SDLK_LEFT: control.cursorDx = -1; break;
    case SDLK_DOWN: control.cursorDy = 1; break;
    case SDLK_UP: control.cursorDy = -1; break;
    case SDLK_MINUS: control.adjust = -1; break;
    case SDLK_EQUALS: control.adjust = 1; break;
    case SDLK_TAB: control.switchPanel = true; break;
    case SDLK_LEFTBRACKET: control.speedDelta = -1; break;
    case SDLK_RIGHTBRACKET: control.speedDelta = 1; break;
    case SDLK_h: control.help = !control.help; break;
    case SDLK_F11: control.fullscreen = !control.fullscreen; break;
    case SDLK_v: control.record = true; break;
    case SDLK_n: control.labels = true; break;
    case SDLK_x: control.switchInstructionSet = true; break;
    default:
        if (key >= SDLK_0 && key <= SDLK_9)
            control.hexDigit = key - SDLK_0;
        else if (key >= SDLK_a && key <= SDLK_f)
            control.hexDigit = 10 + (key - SDLK_a);
        break;
    }
}

} // namespace

bool Input::poll(ControlBlock& control) {
    control.clearBatch();
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) return false;
        if (event.type != SDL_KEYDOWN) continue;
        // Auto-repeated key-downs count as presses.
        if (event.key.keysym.sym == SDLK_ESCAPE) return false;
        applyKey(event.key.keysym.sym, control);
    }
    // Last, and a release: the audio thread that sees it also sees the whole batch.
    control.pending.store(true, std::memory_order_release);
    return true;
}
