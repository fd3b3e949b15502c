#include "app/App.h"

#include <SDL.h>

#include <cstdio>
#include <string>

namespace {

// Timer, audio, video, events, joystick, haptic and game controller.
constexpr Uint32 initFlags = 0x7231;
constexpr Uint32 subsystems[] = {SDL_INIT_TIMER,         SDL_INIT_AUDIO,    SDL_INIT_VIDEO,
                                 SDL_INIT_EVENTS,        SDL_INIT_JOYSTICK, SDL_INIT_HAPTIC,
                                 SDL_INIT_GAMECONTROLLER};
static_assert((SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_EVENTS |
               SDL_INIT_JOYSTICK | SDL_INIT_HAPTIC | SDL_INIT_GAMECONTROLLER) == initFlags);

constexpr const char* hexTable = "0123456789ABCDEF";
constexpr double frameSeconds = 1.0 / 60.0;

} // namespace

App::App() {
    screen.hexDigits = hexTable;
}

bool App::init() {
    // SDL_Init gives up on everything when one subsystem fails (say an unknown audio
    // driver); then take whatever subsystems can be had, one by one.
    if (SDL_Init(initFlags) != 0) {
        for (const Uint32 subsystem : subsystems)
            SDL_InitSubSystem(subsystem);
    }

    board.allocate();
    cpu.reset();

    audio.cpu = &cpu;
    audio.control = &control;
    audio.editCursor = 0;
    recorder.engine = &audio;

    // The display comes up before the audio device: SDL reads its hint list from a newly
    // started audio thread without a lock, while creating a window and renderer adds to it.
    if (!screen.init()) return false;
    // The audio callback is the processor's clock and consumes the key batches; without a
    // device the debugger would freeze. The dummy driver keeps both going, silently; without
    // even that there is no running at all.
    if (audio.openDevice() != 0) {
        const std::string reason = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        SDL_InitSubSystem(SDL_INIT_AUDIO);
        if (audio.openDevice() != 0) {
            std::fprintf(stderr,
                         "hummbox: no audio device (%s), not even SDL's silent dummy one (%s); "
                         "the processor runs on the audio clock, so hummbox cannot run\n",
                         reason.c_str(), SDL_GetError());
            return false;
        }
        std::fprintf(stderr, "hummbox: cannot open the audio device (%s); running without sound\n",
                     reason.c_str());
    }

    browser.scan();
    return true;
}

void App::run() {
    mode = modeRomSelect;
    while (iterate()) {
    }
}

bool App::iterate() {
    const Uint64 start = SDL_GetPerformanceCounter();
    bool keepRunning = true;

    // In the debugger a new batch is collected only once the audio thread took the last.
    if (mode != modeDebugger || !control.pending.load(std::memory_order_acquire))
        keepRunning = input.poll(control);
    if (control.record) { // consumed here, so that a batch still pending does not toggle twice
        control.record = false;
        recorder.toggle();
    }
    recorder.service();

    if (mode == modeDebugger && control.load) {
        control.running.store(false);
        browser.scan();
        mode = modeRomSelect;
        SDL_PauseAudio(1);
    }

    if (mode == modeDebugger) {
        // One consistent copy per frame; the audio thread is held off only for the copy and
        // the heat pass, never for the drawing.
        SDL_LockAudio();
        snapshot.capture(cpu, audio.editCursor);
        DebuggerScreen::lightAndAge(cpu, !control.running.load());
        SDL_UnlockAudio();
        screen.drawFrame(snapshot.cpu, snapshot.editCursor);
        SDL_RenderPresent(screen.renderer);
    } else if (mode == modeRomSelect) {
        browser.frame(*this);
    }

    // Presenting may not wait for the display (no vsync, dummy or software drivers): then
    // wait out the rest of a 1/60 s frame instead of spinning.
    const double elapsed = static_cast<double>(SDL_GetPerformanceCounter() - start) /
                           static_cast<double>(SDL_GetPerformanceFrequency());
    if (elapsed < frameSeconds) SDL_Delay(static_cast<Uint32>((frameSeconds - elapsed) * 1000.0));
    return keepRunning;
}

void App::teardown() {
    SDL_PauseAudio(1);
    SDL_CloseAudio();
    recorder.stop(); // the callback is gone: what it pushed is written and the file closed
    audio.timing.reportIfAsked(); // soak runs: did the callback keep up?
    board.release();
    screen.destroy(); // font texture and font, renderer, window
    SDL_Quit();
}
