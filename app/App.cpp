#include "app/App.h"

#include "cpu/Hex.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Timer, audio, video, events, joystick, haptic and game controller.
constexpr Uint32 initFlags = 0x7231;
constexpr Uint32 subsystems[] = {SDL_INIT_TIMER,         SDL_INIT_AUDIO,    SDL_INIT_VIDEO,
                                 SDL_INIT_EVENTS,        SDL_INIT_JOYSTICK, SDL_INIT_HAPTIC,
                                 SDL_INIT_GAMECONTROLLER};
static_assert((SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_EVENTS |
               SDL_INIT_JOYSTICK | SDL_INIT_HAPTIC | SDL_INIT_GAMECONTROLLER) == initFlags);

constexpr double frameSeconds = 1.0 / 60.0;
constexpr double shortestDisplayFrame = 1.0 / 360.0; // no display refreshes faster

#ifndef HUMMBOX_DATA_DIR
#define HUMMBOX_DATA_DIR "/usr/local/share/hummbox"
#endif

// Where font.bmp may be: the working directory, beside the executable, in the data
// directory of an installation wherever its prefix now is, and where it was installed to.
std::vector<std::string> fontPlaces() {
    std::vector<std::string> places{"font.bmp"};
    if (char* base = SDL_GetBasePath()) {
        places.push_back(std::string(base) + "font.bmp");
        places.push_back(std::string(base) + "../share/hummbox/font.bmp");
        SDL_free(base);
    }
    places.push_back(HUMMBOX_DATA_DIR "/font.bmp");
    return places;
}

} // namespace

App::App() {
    screen.hexDigits = hexDigits;
    screen.labels = &browser.labels;
}

bool App::init() {
    // SDL_Init gives up on everything when one subsystem fails (say an unknown audio
    // driver); then take whatever subsystems can be had, one by one.
    if (SDL_Init(initFlags) != 0) {
        for (const Uint32 subsystem : subsystems)
            SDL_InitSubSystem(subsystem);
    }

    board.allocate();
    cpu.instructionSet = options.cpu; // a reset keeps it; X switches it
    cpu.record(&history);
    cpu.reset();

    audio.cpu = &cpu;
    audio.control = &control;
    audio.editCursor = 0;
    recorder.attach(audio);
    tracer.attach(audio);
    // The callback runs only while the debugger shows, which is when the ring is drained.
    audio.scopeTap.store(&scopeRing, std::memory_order_release);

    // The display comes up before the audio device: SDL reads its hint list from a newly
    // started audio thread without a lock, while creating a window and renderer adds to it.
    screen.fontPaths = fontPlaces();
    if (!screen.init()) return false;
    applyWindowSettings();
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE); // a .snd file dropped on the window is loaded
    // The software renderer may report vsync, but its present never waits for the display.
    SDL_RendererInfo info;
    presentWaits = SDL_GetRendererInfo(screen.renderer, &info) == 0 &&
                   (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0 &&
                   SDL_strcmp(info.name, "software") != 0;
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

    browser.directory = options.directory;
    browser.scan();
    // Started with an image: highlight it, as if it had been picked; run loads it.
    const auto named = std::find(browser.fileNames.begin(), browser.fileNames.end(), options.image);
    if (!options.image.empty() && named != browser.fileNames.end())
        browser.selectedIndex = static_cast<std::int32_t>(named - browser.fileNames.begin());
    return true;
}

void App::run() {
    mode = modeRomSelect;
    if (!options.image.empty()) browser.loadImage(*this, options.image);
    while (iterate()) {
    }
}

bool App::iterate() {
    const Uint64 start = SDL_GetPerformanceCounter();
    bool keepRunning = true;

    // In the debugger a new batch is collected only once the audio thread took the last.
    input.debugging = mode == modeDebugger; // : and ; open the command line only there
    if (mode != modeDebugger || !control.pending.load(std::memory_order_acquire))
        keepRunning = input.poll(control);
    if (mode != modeDebugger) input.entry = {}; // G, W and S are the debugger's
    if (!input.dropped.empty()) loadDropped(std::exchange(input.dropped, {}));
    // Main-thread keys, taken at once so that a batch still waiting for the audio thread
    // does not act on them twice. Every press counts: V V starts and stops a recording.
    const Input::Keys keys = input.takeKeys();
    for (std::int32_t i = 0; i < keys.record; ++i)
        recorder.toggle();
    for (std::int32_t i = 0; i < keys.trace; ++i) {
        if (tracer.tracing())
            tracer.stop();
        else
            startTrace(Expression{}, ""); // T traces every instruction
    }
    if (keys.help % 2 != 0) {
        screen.helpShown = !screen.helpShown;
        screen.helpCommands = false;
    }
    for (std::int32_t i = 0; i < keys.fullscreen; ++i)
        screen.toggleFullscreen();
    if (keys.labels % 2 != 0 && !browser.labels.empty()) screen.labelled = !screen.labelled;
    if (mode == modeRomSelect) browser.jump(keys.pages, keys.ends);
    recorder.service();
    tracer.service();
    screen.fitToWindow();

    if (mode == modeDebugger && control.load) {
        control.setRunning(false);
        browser.scan();
        mode = modeRomSelect;
        SDL_PauseAudio(1);
        watcher.stop();
        screen.scope.clear(); // the next ROM's trace starts flat
    }

    if (mode == modeDebugger && !options.scriptName.empty()) { // --script, once the image is in
        runScript(options.script, options.scriptName);
        options.scriptName.clear();
    }

    if (mode == modeDebugger) {
        reloadIfChanged();
        // One consistent copy per frame; the audio thread is held off only for the copy and
        // the heat pass, never for the drawing.
        SDL_LockAudio();
        // With no batch pending the copy holds every one sent: a command line may be read
        // against it.
        const bool settled = !control.pending.load(std::memory_order_acquire);
        snapshot.capture(cpu, audio.editCursor, audio.speed);
        snapshot.debug = audio.debugger.status;
        snapshot.memoryBase = audio.memoryBase;
        DebuggerScreen::lightAndAge(cpu, !control.isRunning());
        SDL_UnlockAudio();
        if (settled) runSubmittedLine();
        CommandBar& bar = screen.commandBar;
        std::tie(bar.open, bar.text, bar.last, bar.answer, bar.failed) =
            std::tie(input.line.open, input.line.text, input.line.last, input.line.answer,
                     input.line.failed);
        float samples[1024];
        for (std::size_t n; (n = scopeRing.pop(samples, 1024)) > 0;)
            screen.scope.feed(samples, n);
        StatusLine& status = screen.status;
        status.romName = browser.loadedFileName;
        status.notice = reloadNotice;
        status.speed = snapshot.speed;
        status.running = control.isRunning();
        status.recording = recorder.statusText();
        status.label = browser.labels.containing(snapshot.cpu.PC);
        status.instructionSet = instructionSetName(snapshot.cpu.instructionSet);
        DebugPanel& panel = screen.panel;
        panel.cycles = snapshot.cpu.cycleCount;
        panel.debug = snapshot.debug;
        input.entry.describe(panel.entry);
        panel.traceName = tracer.statusName();
        panel.traceDetail = tracer.statusDetail();
        screen.memoryBase = snapshot.memoryBase;
        screen.beforePc = !status.running && snapshot.debug.stop != DebugStatus::Stop::None;
        screen.drawFrame(snapshot.cpu,
                         AudioEngine::cursorNibble(snapshot.editCursor, snapshot.memoryBase));
        screen.drawOverlays();
        SDL_RenderPresent(screen.renderer);
    } else if (mode == modeRomSelect) {
        browser.frame(*this);
    }

    const double elapsed = static_cast<double>(SDL_GetPerformanceCounter() - start) /
                           static_cast<double>(SDL_GetPerformanceFrequency());
    const double pad = framePadding(elapsed, presentWaits);
    // Slept to the microsecond: whole milliseconds, rounded down, made frames up to 1 ms short.
    if (pad > 0) std::this_thread::sleep_for(std::chrono::duration<double>(pad));
    return keepRunning;
}

double App::framePadding(double elapsed, bool presentWaits) {
    // A present that waits for the display paces the loop at the display's rate. One that
    // does not (no vsync; dummy or software drivers), or that returned at once although it
    // claims to wait (a hidden window), gets the rest of a 1/60 s frame, so as not to spin.
    if (presentWaits && elapsed >= shortestDisplayFrame) return 0;
    return elapsed < frameSeconds ? frameSeconds - elapsed : 0;
}

void App::applyWindowSettings() {
    int width = settings.width, height = settings.height;
    if (width <= 0 || height <= 0) {
        if (settings.scale <= 0) return; // nothing remembered: the largest scale that fits
        width = DebuggerScreen::windowWidth * settings.scale;
        height = DebuggerScreen::windowHeight * settings.scale;
    }
    // A display smaller than the one it was closed on gets the window whole.
    SDL_Rect usable{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
        width = std::min(width, usable.w);
        height = std::min(height, usable.h);
    }
    SDL_SetWindowSize(screen.window, width, height);
    SDL_SetWindowPosition(screen.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void App::keepSettings() {
    if (settingsPath.empty() || screen.window == nullptr) return; // never started
    // Fullscreen says nothing about the window: its size stays as it was remembered.
    if ((SDL_GetWindowFlags(screen.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == 0) {
        SDL_GetWindowSize(screen.window, &settings.width, &settings.height);
        settings.scale = DebuggerScreen::initialScale(settings.width, settings.height);
    }
    std::string error;
    if (!settings.write(settingsPath, error))
        std::fprintf(stderr, "hummbox: the settings are not kept: %s\n", error.c_str());
}

void App::loadDropped(const std::filesystem::path& path) {
    Options dropped;
    std::string why = path.extension() == ".snd" ? CommandLine::usePath(path, dropped) : "";
    if (why.empty() && dropped.image.empty()) why = "not a .snd image";
    if (!why.empty()) {
        std::fprintf(stderr, "hummbox: %s dropped: %s\n", path.c_str(), why.c_str());
        reloadNotice = why;
        return;
    }
    // As L and Return: stopped, the image's directory listed. The lock keeps the audio
    // thread off the board while it is loaded (it also covers the pause of the list).
    control.setRunning(false);
    const std::filesystem::path before = browser.directory;
    browser.directory = dropped.directory;
    SDL_LockAudio();
    const bool loaded = browser.loadImage(*this, dropped.image);
    SDL_UnlockAudio();
    if (!loaded) {
        browser.directory = before;
        return;
    }
    browser.scan();
    const auto named = std::find(browser.fileNames.begin(), browser.fileNames.end(), dropped.image);
    browser.selectedIndex = static_cast<std::int32_t>(named - browser.fileNames.begin());
    screen.scope.clear();
}

void App::teardown() {
    SDL_PauseAudio(1);
    SDL_CloseAudio();
    recorder.stop(); // the callback is gone: what it pushed is written and the file closed
    tracer.stop();
    audio.timing.reportIfAsked(); // soak runs: did the callback keep up?
    board.release();
    keepSettings();
    screen.destroy(); // font texture and font, renderer, window
    SDL_Quit();
}
