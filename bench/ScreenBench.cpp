// The debugger screen's per-frame cost: drawing one frame on the software renderer, and
// the part done while the audio thread is held off (the snapshot and the heat pass).

#include "cpu/Board.h"
#include "cpu/Hex.h"
#include "cpu/Mc6802.h"
#include "ui/CpuSnapshot.h"
#include "ui/DebuggerScreen.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>

#include <cstdlib>
#include <tuple>

namespace {

// A processor in the middle of a sound program: every byte set, heat spread over 0..100.
struct BusyMachine : Board {
    BusyMachine() {
        for (std::uint32_t a = 0; a < Mc6802::memorySize; ++a) {
            memory[a] = static_cast<std::uint8_t>(a * 37 + 11);
            heat[a] = a * 13 % 101;
        }
        cpu.PC = 0xF800;
        cpu.CC = 0x14;
    }
};

void BM_DrawFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    DebuggerScreen screen;
    screen.hexDigits = hexDigits;
    if (!screen.init()) {
        state.SkipWithError("no window");
        SDL_Quit();
        return;
    }
#ifdef HUMMBOX_FONT_BMP
    screen.font->loadImage(HUMMBOX_FONT_BMP);
#endif
    if (!screen.font->texture) {
        state.SkipWithError("no font.bmp");
        screen.destroy();
        SDL_Quit();
        return;
    }
    BusyMachine m;
    screen.status.romName = "a rather long sound program name.snd";
    screen.status.running = true;
    // A full debug panel: 8 breakpoints (one on the listing's first line) and 8 watchpoints.
    DebugStatus& debug = screen.panel.debug;
    for (int i = 0; i < DebugStatus::maxPoints; ++i) {
        debug.breakpoints[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(0xF800 + 7 * i);
        debug.watchpoints[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(0x0400 + i);
    }
    debug.breakCount = debug.watchCount = DebugStatus::maxPoints;
    std::tie(debug.stop, debug.stopAddress, debug.before, debug.after, debug.runStart) =
        std::tuple(DebugStatus::Stop::Watch, 0x0400, 0x3F, 0x40, 1'000'000);
    screen.panel.cycles = 123'456'789;
    std::snprintf(screen.panel.entry, sizeof screen.panel.entry, "break at F8__");
    screen.panel.traceName = "trace-001.txt";
    screen.panel.traceDetail = "12345 lines";
    float tone[Scope::windowLength]; // a 500 Hz square wave on the scope
    for (int i = 0; i < Scope::windowLength; ++i)
        tone[i] = i % 96 < 48 ? Scope::highest : Scope::lowest;
    screen.scope.feed(tone, Scope::windowLength);
    for (auto _ : state) {
        screen.drawFrame(m.cpu, 5);
        SDL_RenderFlush(screen.renderer); // the software renderer copies the glyphs here
    }
    screen.destroy();
    SDL_Quit();
}
BENCHMARK(BM_DrawFrame)->Unit(benchmark::kMicrosecond);

void BM_LockedCaptureAndAge(benchmark::State& state) {
    BusyMachine m;
    CpuSnapshot snapshot;
    for (auto _ : state) {
        snapshot.capture(m.cpu, 5);
        DebuggerScreen::lightAndAge(m.cpu, true);
        benchmark::DoNotOptimize(snapshot.heat.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LockedCaptureAndAge)->Unit(benchmark::kMicrosecond);

} // namespace
