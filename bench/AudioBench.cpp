#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "audio/SampleRing.h"
#include "capture/Recorder.h"
#include "cpu/History.h"
#include "tests/support/Machine.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

// A siren over noise, in the style of the board's sound programs: a square wave whose half
// period shrinks by one delay-loop pass per half wave (the pitch rises, then starts over),
// with an 8-bit shift-register noise added on top. Most of the time goes to the delay loop,
// as in real sound ROMs.
//
//   F800 8E 00 7F  reset  lds  #$007F
//   F803 86 01            ldaa #$01
//   F805 97 12            staa seed         ; noise seed, never zero
//   F807 CE 01 00  sweep  ldx  #$0100       ; lowest pitch
//   F80A DF 10            stx  period
//   F80C 96 12     half   ldaa seed         ; next noise byte: rotate right, fold in the
//   F80E 46               rora              ; taps when a 1 drops out
//   F80F 24 02            bcc  keep
//   F811 88 B8            eora #$B8
//   F813 97 12     keep   staa seed
//   F815 84 3F            anda #$3F         ; noise at a quarter of full scale
//   F817 9B 13            adda level        ; on top of the square wave
//   F819 B7 04 00         staa $0400        ; to the DAC
//   F81C 96 13            ldaa level        ; flip the square wave between $00 and $C0
//   F81E 88 C0            eora #$C0
//   F820 97 13            staa level
//   F822 DE 10            ldx  period       ; wait half a period, 8 cycles a pass
//   F824 09        wait   dex
//   F825 26 FD            bne  wait
//   F827 DE 10            ldx  period       ; one pass shorter next time
//   F829 09               dex
//   F82A DF 10            stx  period       ; (stx leaves the flags of dex)
//   F82C 26 DE            bne  half
//   F82E 20 D7            bra  sweep
//   FFF8 F8 00 ...        every vector points at reset
constexpr std::array<std::uint8_t, 48> siren = {
    0x8E, 0x00, 0x7F, 0x86, 0x01, 0x97, 0x12, 0xCE, 0x01, 0x00, 0xDF, 0x10, 0x96, 0x12, 0x46, 0x24,
    0x02, 0x88, 0xB8, 0x97, 0x12, 0x84, 0x3F, 0x9B, 0x13, 0xB7, 0x04, 0x00, 0x96, 0x13, 0x88, 0xC0,
    0x97, 0x13, 0xDE, 0x10, 0x09, 0x26, 0xFD, 0xDE, 0x10, 0x09, 0xDF, 0x10, 0x26, 0xDE, 0x20, 0xD7,
};

constexpr double bufferMs = 1000.0 * AudioEngine::bufferFrames / AudioEngine::sampleRate;

// The siren program in the PROM, every vector at its start, the processor reset.
void loadSiren(Machine& m) {
    for (std::size_t i = 0; i < siren.size(); ++i)
        m.memory[Mc6802::romBase + i] = siren[i];
    for (std::uint16_t v = Mc6802::irqVector; v != 0; v = static_cast<std::uint16_t>(v + 2))
        m.load(v, {0xF8, 0x00});
    m.cpu.reset();
}

// One buffer after another at speed range(0), recording when range(1) is 1, and with the
// processor keeping its history for back when history is set.
void buffers(benchmark::State& state, bool history) {
    Machine m;
    History steps;
    if (history) m.cpu.record(&steps);
    loadSiren(m);
    // Every instruction of the program must be one the processor executes.
    for (int i = 0; i < 100000; ++i)
        if (!m.cpu.step()) {
            state.SkipWithError("the sound program hit an unimplemented opcode");
            return;
        }

    ControlBlock control;
    AudioEngine engine;
    engine.cpu = &m.cpu;
    engine.control = &control;
    engine.speed = static_cast<std::int32_t>(state.range(0));
    engine.clockCycles = m.cpu.cycleCount; // the clock where the processor stands
    control.running = true;
    // Recording: the callback also pushes into a ring, which is drained after every buffer
    // (the drain's copy counts in the time).
    SampleRing ring(Recorder::ringSamples);
    std::vector<float> drained(AudioEngine::bufferFrames);
    const bool recording = state.range(1) != 0;
    if (recording) engine.recordTap = &ring;

    alignas(float) std::array<Uint8, AudioEngine::bufferFrames * sizeof(float)> buffer{};
    const std::uint64_t cyclesBefore = m.cpu.cycleCount;
    for (auto _ : state) {
        audioCallback(&engine, buffer.data(), static_cast<int>(buffer.size()));
        if (recording) ring.pop(drained.data(), drained.size());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.counters["cycles_per_buffer"] =
        benchmark::Counter(static_cast<double>(m.cpu.cycleCount - cyclesBefore) /
                           static_cast<double>(state.iterations()));
    state.counters["emulated_cycles"] = benchmark::Counter(
        static_cast<double>(m.cpu.cycleCount - cyclesBefore), benchmark::Counter::kIsRate);
    state.counters["buffer_ms"] = bufferMs;
    // Seconds of audio produced per second of work: 100 / this is the share in percent.
    state.counters["realtime_factor"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * bufferMs / 1000.0, benchmark::Counter::kIsRate);
}

void audioCallbackOneBuffer(benchmark::State& state) {
    buffers(state, false);
}

// The same with a history kept, as the App does, against the same without (range(2)).
void audioCallbackHistory(benchmark::State& state) {
    buffers(state, state.range(2) != 0);
}

// A recording in real time through SDL's audio device at speed 100, for as many seconds as
// HUMMBOX_RECORD_SECONDS says: every sample the callback made must be in the file.
// Run with SDL_AUDIODRIVER=dummy (which paces in real time) or a real device.
void recordingInRealTime(benchmark::State& state, double seconds) {
    for (auto _ : state) {
        Machine m;
        loadSiren(m);
        ControlBlock control;
        AudioEngine engine;
        engine.cpu = &m.cpu;
        engine.control = &control;
        engine.speed = AudioEngine::maxSpeed;
        control.running = true;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 || engine.openDevice() != 0) {
            state.SkipWithError(SDL_GetError());
            return;
        }
        const auto dir = std::filesystem::temp_directory_path();
        Recorder recorder;
        recorder.attach(engine);
        recorder.start(dir.string());
        SDL_PauseAudio(0);
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            recorder.service();
        }
        SDL_PauseAudio(1);
        SDL_CloseAudio();
        recorder.stop();
        state.counters["callback_samples"] = static_cast<double>(engine.sampleCount);
        state.counters["frames_written"] = static_cast<double>(recorder.framesWritten());
        state.counters["dropped"] = static_cast<double>(recorder.samplesDropped());
        state.counters["file_bytes"] =
            static_cast<double>(std::filesystem::file_size(recorder.path()));
        state.counters["overruns"] = static_cast<double>(engine.timing.overruns.load());
        std::filesystem::remove(recorder.path());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

const bool recordingRegistered = [] {
    const char* seconds = std::getenv("HUMMBOX_RECORD_SECONDS");
    if (seconds != nullptr)
        benchmark::RegisterBenchmark("recordingInRealTime", recordingInRealTime, std::atof(seconds))
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    return true;
}();

} // namespace

// One 1,024-sample callback at the default speed and at the maximum, not recording and
// recording. The share of the buffer's playing time is the reported time divided by
// buffer_ms.
BENCHMARK(audioCallbackOneBuffer)
    ->ArgsProduct({{19, 100}, {0, 1}})
    ->ArgNames({"speed", "recording"})
    ->Unit(benchmark::kMicrosecond);
// Speed 100, not recording: the cost of keeping the history for back.
BENCHMARK(audioCallbackHistory)
    ->ArgsProduct({{100}, {0}, {0, 1}})
    ->ArgNames({"speed", "recording", "history"})
    ->Unit(benchmark::kMicrosecond);
