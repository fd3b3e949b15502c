#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A machine with an engine and mailbox wired to it, and a buffer to render into.
struct Rig {
    Machine m;
    ControlBlock control;
    AudioEngine engine;

    Rig() {
        engine.cpu = &m.cpu;
        engine.control = &control;
    }

    // Renders `samples` samples through the callback and returns them.
    std::vector<float> render(int samples) {
        std::vector<Uint8> bytes(static_cast<std::size_t>(samples) * 4, 0xAA);
        audioCallback(&engine, bytes.data(), static_cast<int>(bytes.size()));
        std::vector<float> out(static_cast<std::size_t>(samples));
        std::memcpy(out.data(), bytes.data(), bytes.size());
        return out;
    }

    // Hands over a batch made by `fill` (on a cleared batch) for the next buffer.
    template <class Fill> void batch(Fill fill) {
        control.clearBatch();
        fill(control);
        control.pending.store(true, std::memory_order_release);
    }
};

// inc $0400 (6 cycles) ; jmp $0500 (3 cycles): the DAC byte counts loop passes, 9 cycles each.
void loadCountingLoop(Machine& m) {
    m.program(0x0500, {0x7C, 0x04, 0x00, 0x7E, 0x05, 0x00});
}

float bits(std::uint32_t pattern) {
    float f;
    std::memcpy(&f, &pattern, sizeof f);
    return f;
}

} // namespace

TEST(AudioCallback, SampleValuesFollowTheDacByte) {
    EXPECT_EQ(AudioEngine::sampleFor(0x7F), 0.0f);
    EXPECT_FLOAT_EQ(AudioEngine::sampleFor(0x00), -0.127f);
    EXPECT_FLOAT_EQ(AudioEngine::sampleFor(0xFF), 0.128f);
    EXPECT_EQ(AudioEngine::sampleFor(0x80), bits(0x3A83126F)); // exactly the constant 0.001f

    for (std::uint8_t dac : {0x00, 0x7F, 0xFF}) {
        Rig r;
        r.m.cpu.PC = 0x0600; // all-zero memory: one-cycle skipped opcodes, no DAC writes
        r.m.memory[0x0400] = dac;
        r.control.running = true;
        for (float s : r.render(64))
            EXPECT_EQ(s, AudioEngine::sampleFor(dac)) << "dac " << int{dac};
        EXPECT_EQ(r.m.heat[0x0400], 0u) << "the callback's DAC read bumps no heat";
    }
}

// With one-cycle instructions the processor lands exactly on sampleCount * speed.
TEST(AudioCallback, ProcessorIsPacedToSampleCountTimesSpeed) {
    Rig r;
    r.m.cpu.PC = 0x0600;
    r.control.running = true;
    r.render(1024);
    EXPECT_EQ(r.engine.sampleCount, 1024u);
    EXPECT_EQ(r.m.cpu.cycleCount, 1024u * 19);
    r.render(100);
    EXPECT_EQ(r.engine.sampleCount, 1124u);
    EXPECT_EQ(r.m.cpu.cycleCount, 1124u * 19);
}

// Sample by sample: the DAC byte taken after sample k shows the loop passes finished by
// cycle k * speed.
TEST(AudioCallback, EachSampleTakesTheDacAfterItsTarget) {
    struct Case {
        int speed;
        int passesPerSample;
    };
    for (Case c : {Case{9, 1}, Case{18, 2}, Case{27, 3}}) {
        Rig r;
        loadCountingLoop(r.m);
        r.engine.speed = c.speed;
        r.control.running = true;
        const std::vector<float> out = r.render(300);
        for (int k = 1; k <= 300; ++k)
            ASSERT_EQ(out[k - 1],
                      AudioEngine::sampleFor(static_cast<std::uint8_t>(k * c.passesPerSample)))
                << "speed " << c.speed << " sample " << k;
        EXPECT_EQ(r.m.cpu.cycleCount, 300u * c.speed);
    }
}

// The instruction that crosses the target overshoots it; the next sample starts from there.
TEST(AudioCallback, OvershootIsCarriedIntoTheNextSample) {
    Rig r;
    loadCountingLoop(r.m);
    r.engine.speed = 4; // targets 4, 8, 12, ...; instructions end at 6, 9, 15, 18, ...
    r.control.running = true;
    const std::vector<float> out = r.render(5);
    // sample 1: inc (to 6) ; 2: jmp (to 9) ; 3: inc (to 15) ; 4: jmp (to 18) ; 5: inc (to 24)
    const std::uint8_t dac[] = {1, 1, 2, 2, 3};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(out[k], AudioEngine::sampleFor(dac[k])) << "sample " << k + 1;
    EXPECT_EQ(r.m.cpu.cycleCount, 24u);
}

TEST(AudioCallback, SpeedChangeMovesTheTargetBySampleCountTimesDelta) {
    Rig r;
    r.m.cpu.PC = 0x0600; // one-cycle instructions
    r.control.running = true;
    r.render(1024);
    ASSERT_EQ(r.m.cpu.cycleCount, 1024u * 19);

    // One step up: the very next sample runs 1,024 extra cycles besides its own 20.
    r.batch([](ControlBlock& c) { c.speedDelta = 1; });
    r.render(1);
    EXPECT_EQ(r.engine.speed, 20);
    EXPECT_EQ(r.m.cpu.cycleCount, 1025u * 20);
    EXPECT_EQ(r.m.cpu.cycleCount - 1024u * 19, 1024u + 20u);

    // Back down: the processor idles until 19 * sampleCount passes 20,500 again, at sample 1079.
    r.batch([](ControlBlock& c) { c.speedDelta = -1; });
    int idle = 0;
    while (r.m.cpu.cycleCount == 1025u * 20 && idle < 1000) {
        r.render(1);
        ++idle;
    }
    EXPECT_EQ(idle - 1, 1078 - 1025); // samples 1026..1078 idle, 1079 runs
    EXPECT_EQ(r.engine.sampleCount, 1079u);
    EXPECT_EQ(r.m.cpu.cycleCount, 1079u * 19);
}

TEST(AudioCallback, SingleStepsWhileStoppedAreCaughtUpAfterResuming) {
    Rig r;
    loadCountingLoop(r.m);
    r.engine.speed = 9;
    for (int i = 0; i < 4; ++i) { // inc, jmp, inc, jmp: 18 cycles, DAC 2
        r.batch([](ControlBlock& c) { c.step = true; });
        for (float s : r.render(16))
            ASSERT_EQ(s, 0.0f);
    }
    EXPECT_EQ(r.m.cpu.cycleCount, 18u);
    EXPECT_EQ(r.engine.sampleCount, 0u) << "no samples counted while stopped";
    EXPECT_EQ(r.m.memory[0x0400], 2);

    r.control.running = true;
    const std::vector<float> out = r.render(4);
    // Targets 9 and 18 are already reached: the held DAC byte twice, then one pass a sample.
    EXPECT_EQ(out[0], AudioEngine::sampleFor(2));
    EXPECT_EQ(out[1], AudioEngine::sampleFor(2));
    EXPECT_EQ(out[2], AudioEngine::sampleFor(3));
    EXPECT_EQ(out[3], AudioEngine::sampleFor(4));
}

TEST(AudioCallback, StoppedBufferIsSilentAndNothingAdvances) {
    Rig r;
    loadCountingLoop(r.m);
    r.m.memory[0x0400] = 0xFF;
    r.batch([](ControlBlock& c) { c.cursorDx = 1; });
    for (float s : r.render(1024))
        ASSERT_EQ(s, 0.0f);
    EXPECT_EQ(r.engine.sampleCount, 0u);
    EXPECT_EQ(r.m.cpu.cycleCount, 0u);
    EXPECT_EQ(r.m.cpu.PC, 0x0500);
    // The batch is applied even while stopped.
    EXPECT_FALSE(r.control.pending.load());
    EXPECT_EQ(r.engine.editCursor, 1);

    // Stopping after running drops the output to silence rather than holding the level.
    r.control.running = true;
    EXPECT_NE(r.render(8).back(), 0.0f);
    r.control.running = false;
    for (float s : r.render(8))
        EXPECT_EQ(s, 0.0f);
}

TEST(AudioCallback, BatchIsAppliedOnlyWhenPending) {
    Rig r;
    r.control.cursorDx = 1; // written but never handed over
    r.render(4);
    EXPECT_EQ(r.engine.editCursor, 0);
}

// Lengths that are not whole samples: every byte of the buffer is written, none past it.
TEST(AudioCallback, LengthNotAMultipleOfFour) {
    for (bool running : {false, true}) {
        for (int len : {0, 1, 3, 23}) {
            Rig r;
            r.m.cpu.PC = 0x0600;
            r.m.memory[0x0400] = 0xFF;
            r.control.running = running;
            std::vector<Uint8> buf(static_cast<std::size_t>(len) + 8, 0xAA);
            audioCallback(&r.engine, buf.data(), len);
            SCOPED_TRACE(testing::Message() << "len " << len << " running " << running);
            const int n = running ? len / 4 : 0;
            EXPECT_EQ(r.engine.sampleCount, static_cast<std::uint64_t>(n));
            EXPECT_EQ(r.m.cpu.cycleCount, static_cast<std::uint64_t>(n) * 19);
            for (int i = 0; i < n; ++i) {
                float s;
                std::memcpy(&s, buf.data() + 4 * i, 4);
                EXPECT_EQ(s, AudioEngine::sampleFor(0xFF));
            }
            for (int i = 4 * n; i < len; ++i)
                EXPECT_EQ(buf[i], 0) << "byte " << i;
            for (std::size_t i = static_cast<std::size_t>(len); i < buf.size(); ++i)
                EXPECT_EQ(buf[i], 0xAA) << "byte " << i << " lies past the buffer";
        }
    }
}

// The soak run's starvation counter: every callback counts a buffer, and one that took
// longer to make than its playing time counts an overrun.
TEST(AudioTiming, CountsBuffersAndOverruns) {
    Rig rig;
    rig.render(AudioEngine::bufferFrames);
    EXPECT_EQ(rig.engine.timing.buffers.load(), 1u);
    EXPECT_EQ(rig.engine.timing.overruns.load(), 0u); // a stopped processor makes silence fast

    AudioTiming timing;
    const Uint64 budget = 1024 * SDL_GetPerformanceFrequency() / 48000; // 21.3 ms
    timing.record(budget - 1, 1024, 48000);
    timing.record(budget + 1, 1024, 48000);
    timing.record(budget / 2, 1024, 48000);
    EXPECT_EQ(timing.buffers.load(), 3u);
    EXPECT_EQ(timing.overruns.load(), 1u);
    EXPECT_EQ(timing.worstTicks.load(), budget + 1);
    EXPECT_EQ(timing.worstBudget.load(), budget);
}
