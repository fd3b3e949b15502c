#pragma once

#include "audio/AudioTiming.h"
#include "debug/Debugger.h"
#include "debug/TraceRing.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>

class SampleRing;
struct Mc6802;
struct ControlBlock;
struct DebugCommand;

// The audio callback's context. The callback is the emulated board's clock: every output
// sample moves the clock on by speed cycles, runs the processor until it has reached the
// clock and emits the DAC byte at 0x0400.
struct AudioEngine {
    static constexpr int sampleRate = 48000;
    static constexpr int bufferFrames = 1024;
    static constexpr std::int32_t defaultSpeed = 19;
    static constexpr std::int32_t minSpeed = 1;
    static constexpr std::int32_t maxSpeed = 100;
    // Nibble index ranges of the memory-edit cursor: RAM bytes 0x00..0xFF, PIA 0x400..0x40F.
    static constexpr std::int32_t ramCursorLast = 511;
    static constexpr std::int32_t piaCursorFirst = 2048;
    static constexpr std::int32_t piaCursorLast = 2079;

    Mc6802* cpu = nullptr;
    ControlBlock* control = nullptr;
    std::int32_t editCursor = 0; // written by the audio thread only
    // `mem ADDR`: the RAM panel, and with it the edit cursor's RAM range, starts here (a
    // multiple of 16, at most 0xFF00). Audio thread, as the cursor.
    std::uint16_t memoryBase = 0;
    std::uint64_t sampleCount = 0;     // samples produced while running; never reset
    std::int32_t speed = defaultSpeed; // processor cycles per sample, 1..100
    // The cycle count that the clock has reached: the sum of the speeds of all samples made,
    // so that a speed change applies from the next sample on, whatever the run time.
    std::uint64_t clockCycles = 0;
    AudioTiming timing; // how long the callback takes; kept only when asked for
    // While set, the callback also pushes every sample it outputs (silence included) here.
    // Set and cleared by the main thread (the Recorder).
    std::atomic<SampleRing*> recordTap{nullptr};
    // Likewise for the debugger's scope; the App sets it once and drains it every frame.
    std::atomic<SampleRing*> scopeTap{nullptr};
    // While set, every instruction executed goes here (the trace writer sets it).
    std::atomic<TraceRing*> traceTap{nullptr};
    // Breakpoints, watchpoints, step over and out: audio thread only. The main thread reads
    // debugger.status with the audio device locked.
    Debugger debugger;
    bool wasRunning = false; // running as the last buffer saw it

    // The byte address times two, plus 1 for the low nibble, that editCursor stands for when
    // RAM is shown from memoryBase: the PIA row's cursor is the address itself.
    static std::int32_t cursorNibble(std::int32_t cursor, std::uint16_t memoryBase) {
        return cursor <= ramCursorLast ? cursor + 2 * std::int32_t{memoryBase} : cursor;
    }

    // Applies the pending command batch. Audio thread, at the start of a buffer.
    void applyCommands();
    // Does what a command line asked for. Audio thread (from the batch), or the main thread
    // inside SDL_LockAudio.
    void apply(const DebugCommand& command);

    // Opens SDL's audio device, paused, for 48 kHz mono float with this engine's callback;
    // SDL converts if the hardware wants another format. Returns SDL_OpenAudio's result.
    // The callback times itself only when HUMMBOX_AUDIO_TIMING is set.
    int openDevice();

    // The float sample for a DAC byte: (byte - 127) * 0.001.
    static float sampleFor(std::uint8_t dac) { return static_cast<float>(dac - 127) * 0.001f; }
};

// SDL audio callback; userdata is the AudioEngine. Allocates nothing, locks nothing.
void audioCallback(void* userdata, Uint8* stream, int len);
