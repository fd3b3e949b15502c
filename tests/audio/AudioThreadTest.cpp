#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "audio/Input.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// The sound program: a sawtooth on the DAC, 11 cycles a pass. It touches no RAM, so the
// hex digits typed into RAM stay as typed.
//   F800 4C        loop  inca
//   F801 B7 04 00        staa $0400
//   F804 20 FA           bra  loop
void loadSawtooth(Machine& m) {
    m.load(0xF800, {0x4C, 0xB7, 0x04, 0x00, 0x20, 0xFA});
    m.load(0xFFFE, {0xF8, 0x00});
    m.cpu.reset();
}

struct Next {
    std::uint16_t pc;
    std::uint64_t cycles;
};
Next after(std::uint16_t pc) {
    switch (pc) {
    case 0xF800: return {0xF801, 2};
    case 0xF801: return {0xF804, 5};
    case 0xF804: return {0xF800, 4};
    default: return {0, 0};
    }
}

void pushKey(SDL_Keycode sym) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sym;
    SDL_PushEvent(&e);
}

SDL_Keycode digitKey(int d) {
    return d < 10 ? SDLK_0 + d : SDLK_a + (d - 10);
}

} // namespace

// The real hand-over: SDL's audio thread runs audioCallback while this thread polls keys into
// batches, each only after the previous one was taken. Every batch types the next hex digit, so
// RAM ends up holding the digits in order exactly when each batch was applied once, in order.
// Batches in between start and stop the processor, single-step it and change the speed.
TEST(AudioThread, EveryBatchIsAppliedOnceAndInOrder) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();

    Machine m;
    loadSawtooth(m);
    ControlBlock control;
    AudioEngine engine;
    engine.cpu = &m.cpu;
    engine.control = &control;
    Input input;

    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = AudioEngine::sampleRate;
    want.format = AUDIO_F32LSB;
    want.channels = 1;
    want.samples = AudioEngine::bufferFrames;
    want.callback = audioCallback;
    want.userdata = &engine;
    ASSERT_EQ(SDL_OpenAudio(&want, &have), 0) << SDL_GetError();
    SDL_PauseAudio(0);

    // What batch i adds to its digit, in a cycle of six.
    enum class Extra { Run, SpeedUp, None, StopAndStep, StepAndSlowDown, Step };
    constexpr Extra cycle[] = {Extra::Run,         Extra::SpeedUp,         Extra::None,
                               Extra::StopAndStep, Extra::StepAndSlowDown, Extra::Step};

    constexpr int maxBatches = 400; // stays inside RAM's 512 nibbles
    int sent = 0;
    bool running = false;
    int expectedSpeed = AudioEngine::defaultSpeed;
    int checkedSteps = 0;
    std::uint16_t lastPc = 0;
    std::uint64_t lastCycles = 0;
    bool lastKnown = false; // lastPc/lastCycles hold the state after the previous batch
    const Uint64 start = SDL_GetTicks64();
    // From each poll to the moment its batch is seen taken (1 ms resolution): how long a key
    // press waits for the processor once polled.
    const double tickMs = 1000.0 / static_cast<double>(SDL_GetPerformanceFrequency());
    Uint64 polledAt = 0;
    double waitSumMs = 0;
    double waitMaxMs = 0;

    while (SDL_GetTicks64() - start < 2000 && sent < maxBatches) {
        if (control.pending.load(std::memory_order_acquire)) {
            SDL_Delay(1);
            continue;
        }
        // The previous batch has been applied. While stopped the audio thread leaves the
        // processor alone, so its state can be read here.
        if (sent > 0) {
            const double waitMs =
                static_cast<double>(SDL_GetPerformanceCounter() - polledAt) * tickMs;
            waitSumMs += waitMs;
            waitMaxMs = waitMs > waitMaxMs ? waitMs : waitMaxMs;
            ASSERT_EQ(engine.editCursor, sent) << "batch " << sent - 1;
            if (!running) {
                ASSERT_EQ(engine.speed, expectedSpeed);
                const Extra done = cycle[(sent - 1) % 6];
                const bool stepped = done == Extra::StopAndStep || done == Extra::StepAndSlowDown ||
                                     done == Extra::Step;
                if (stepped && lastKnown) {
                    const Next n = after(lastPc);
                    ASSERT_EQ(m.cpu.PC, n.pc) << "one instruction per step, batch " << sent - 1;
                    ASSERT_EQ(m.cpu.cycleCount, lastCycles + n.cycles);
                    ++checkedSteps;
                }
                ASSERT_NE(after(m.cpu.PC).pc, 0) << "PC left the loop: " << m.cpu.PC;
                lastPc = m.cpu.PC;
                lastCycles = m.cpu.cycleCount;
                lastKnown = true;
            } else {
                lastKnown = false;
            }
        }

        const Extra extra = cycle[sent % 6];
        switch (extra) {
        case Extra::Run:
            pushKey(SDLK_p);
            running = true;
            break;
        case Extra::SpeedUp:
            pushKey(SDLK_RIGHTBRACKET);
            ++expectedSpeed;
            break;
        case Extra::None: break;
        case Extra::StopAndStep:
        case Extra::Step:
            pushKey(SDLK_SPACE);
            running = false;
            break;
        case Extra::StepAndSlowDown:
            pushKey(SDLK_SPACE);
            pushKey(SDLK_LEFTBRACKET);
            running = false;
            --expectedSpeed;
            break;
        }
        pushKey(digitKey(sent % 16));
        ASSERT_TRUE(input.poll(control));
        polledAt = SDL_GetPerformanceCounter();
        ASSERT_EQ(control.running.load(), running);
        ++sent;
    }

    // Let the last batch through, then stop the audio thread before looking at everything.
    const Uint64 drainStart = SDL_GetTicks64();
    while (control.pending.load(std::memory_order_acquire) && SDL_GetTicks64() - drainStart < 1000)
        SDL_Delay(1);
    EXPECT_FALSE(control.pending.load()) << "the last batch was never taken";
    SDL_CloseAudio();
    SDL_Quit();

    std::printf("%d batches in 2 s; poll to batch taken: mean %.1f ms, max %.1f ms\n", sent,
                sent > 1 ? waitSumMs / (sent - 1) : 0.0, waitMaxMs);
    ASSERT_GE(sent, 12) << "the audio thread took too few batches in two seconds";
    EXPECT_GE(checkedSteps, sent / 6);
    EXPECT_EQ(engine.editCursor, sent);
    EXPECT_EQ(engine.speed, expectedSpeed);
    for (int i = 0; i < sent; ++i) {
        const std::uint8_t byte = m.memory[i / 2];
        const int nibble = (i & 1) ? byte & 0x0F : byte >> 4;
        ASSERT_EQ(nibble, i % 16) << "nibble " << i;
    }
    EXPECT_EQ(m.memory[sent / 2 + 1], 0) << "nothing typed past the last batch";
    EXPECT_GT(engine.sampleCount, 0u) << "the processor ran";
    EXPECT_GE(m.cpu.cycleCount, engine.sampleCount * 18);
}
