#pragma once

#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "cpu/Board.h"
#include "cpu/Mc6802.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// What to render: see OfflineRenderer::render.
struct RenderJob {
    double seconds = 5.0; // length of the recording
    std::int32_t speed = AudioEngine::defaultSpeed;
    int command = -1;                   // byte stored at 0x0402 before each interrupt; -1: none
    std::vector<double> interruptTimes; // seconds after reset
    bool fromFirstInterrupt = false;    // start the recording at the first interrupt taken
    double stopWhenSteady = 0.0;        // > 0: stop after this long without a DAC change,
                                        // once every interrupt has been taken
    double bootLimit = 30.0;            // with fromFirstInterrupt: give up waiting after this
};

struct RenderResult {
    std::vector<float> samples;
    std::vector<std::size_t> interruptSamples; // where in samples each taken interrupt falls
    std::size_t interruptsMissed = 0; // asked for and due, but the program kept them masked
    std::size_t interruptsLate = 0;   // not yet due when the recording ended
    bool changed = false;             // the DAC byte changed during the recording
    std::size_t lastChange = 0;       // index of the last sample that differed from its predecessor
};

// The sound board without a window or an audio device: the same processor, mailbox and
// audio callback as the program, driven buffer by buffer as fast as the machine allows.
struct OfflineRenderer {
    static constexpr std::uint16_t commandLatch = Mc6802::commandLatch;
    static constexpr std::size_t frames = AudioEngine::bufferFrames;

    Board board;
    ControlBlock control;
    AudioEngine engine;
    // A trace ring this large holds one buffer's instructions at the highest speed, even if
    // every one is a skipped one-cycle opcode, and a single step: drained after every
    // buffer, it never loses one.
    static constexpr std::size_t traceRecords = std::size_t{1} << 17;
    static_assert(traceRecords >= frames * AudioEngine::maxSpeed + Debugger::traceBatch);

    std::array<float, frames> buffer{};
    // When set, render calls it after every buffer: the moment to drain engine's taps.
    std::function<void()> afterBuffer;
    // Where the recording of the render under way began, for afterBuffer: set just before
    // the first recorded buffer runs (before the interrupt that starts it, when the
    // recording waits for one), cleared when a render starts.
    struct RecordingStart {
        bool started = false;
        std::uint64_t cycle = 0; // the clock's cycle count; sample i is read at
                                 // cycle + (i + 1) * speed
        std::uint16_t sp = 0;    // the processor's stack pointer
    } recordingStart;

    OfflineRenderer();
    OfflineRenderer(const OfflineRenderer&) = delete;
    OfflineRenderer& operator=(const OfflineRenderer&) = delete;

    // Copies a 2,048-byte image into the PROM and resets the processor, as a ROM load does.
    void loadImage(const std::uint8_t* image);
    // The program would take an interrupt now.
    bool interruptsOpen() const { return (board.cpu.CC & Mc6802::flagI) == 0; }
    // Stores command at 0x0402 (unless it is -1) and leaves an interrupt batch in the
    // mailbox, which the next buffer applies: the I key after typing the byte.
    void queueInterrupt(int command);
    // One buffer through audioCallback, the processor running.
    const std::array<float, frames>& renderBuffer();

    // Resets the processor (the image stays), then records. Each interrupt time is served
    // at the first buffer boundary at or after it at which the program has interrupts
    // unmasked, so a request made during the start-up chime waits for it to end.
    RenderResult render(const RenderJob& job);
};
