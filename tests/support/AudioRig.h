#pragma once

#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "tests/support/Machine.h"

#include <vector>

// A machine on the audio clock: the callback's engine and the mailbox it reads.
struct AudioRig {
    Machine m;
    ControlBlock control;
    AudioEngine engine;

    AudioRig() { engine.cpu = &m.cpu, engine.control = &control; }
    // What the callback outputs for so many samples (each one written, or it shows 99).
    std::vector<float> play(int samples) {
        std::vector<float> out(static_cast<std::size_t>(samples), 99.0f);
        audioCallback(&engine, reinterpret_cast<Uint8*>(out.data()), samples * 4);
        return out;
    }
};

inline float dac(int byte) {
    return AudioEngine::sampleFor(static_cast<std::uint8_t>(byte));
}
