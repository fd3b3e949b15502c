#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// One batch as a value, so that tables can hold them.
struct Batch {
    bool step = false, irq = false, reset = false;
    std::int32_t dx = 0, dy = 0;
    bool tab = false;
    std::int32_t digit = -1, adjust = 0, speed = 0;
};

struct Rig {
    Machine m;
    ControlBlock control;
    AudioEngine engine;
    Rig() {
        engine.cpu = &m.cpu;
        engine.control = &control;
    }
    void fill(const Batch& b) {
        control.step = b.step;
        control.irq = b.irq;
        control.reset = b.reset;
        control.cursorDx = b.dx;
        control.cursorDy = b.dy;
        control.switchPanel = b.tab;
        control.hexDigit = b.digit;
        control.adjust = b.adjust;
        control.speedDelta = b.speed;
    }
    void apply(const Batch& b = {}) {
        fill(b);
        engine.applyCommands();
    }
    // Hands a batch over for the next buffer.
    void handOver(const Batch& b) {
        fill(b);
        control.pending = true;
    }
    std::vector<float> render(int samples) {
        std::vector<float> out(static_cast<std::size_t>(samples), 99.0f);
        audioCallback(&engine, reinterpret_cast<Uint8*>(out.data()), samples * 4);
        return out;
    }
    // inc $0400 (6 cycles) ; jmp $0500 (3 cycles): the DAC byte counts 9-cycle loop passes.
    void countingLoop() { m.program(0x0500, {0x7C, 0x04, 0x00, 0x7E, 0x05, 0x00}); }
};

float dac(int byte) {
    return AudioEngine::sampleFor(static_cast<std::uint8_t>(byte));
}

} // namespace

// Moves clamp into RAM (0..511) or the PIA row (2048..2079) and cross at the ends; Tab wins.
TEST(ApplyCommands, CursorMotionCorners) {
    const std::int32_t cases[][5] = {
        // from, dx, dy, tab, to
        {100, 1, 0, 0, 101},   {100, -1, 1, 0, 131},  {0, -1, 1, 0, 31},     {485, 0, 1, 0, 2048},
        {511, 1, 0, 0, 2048},  {479, 0, 1, 0, 511},   {5, 0, -1, 0, 0},      {0, -1, 0, 0, 0},
        {2050, 0, -1, 0, 511}, {2048, -1, 0, 0, 511}, {2079, 1, 0, 0, 2079}, {2060, 0, 1, 0, 2079},
        {2060, 1, 0, 0, 2061}, {512, 0, 0, 0, 511},   {2080, 0, 0, 0, 2079}, {42, 0, 0, 0, 42},
        {300, 1, 1, 1, 2048},  {2070, -1, -1, 1, 0},
    };
    for (const auto& c : cases) {
        Rig r;
        r.engine.editCursor = c[0];
        r.apply({.dx = c[1], .dy = c[2], .tab = c[3] != 0});
        EXPECT_EQ(r.engine.editCursor, c[4]) << "from " << c[0] << " " << c[1] << " " << c[2];
    }
}

// The digit goes into the nibble under the old cursor, straight into memory; the adjust then
// through the bus at the advanced cursor. Step only while stopped; an interrupt only when
// unmasked, and not kept; reset last, over the batch's registers and low memory but not its
// cursor, speed or cycles. The program is inca at 0x0500, and SP is 0x7F.
TEST(ApplyCommands, BatchesInOrder) {
    struct Case {
        std::int32_t cursor;
        Batch batch;
        std::uint8_t before[2]; // the byte at cursor / 2 and the one after
        std::int32_t cursorAfter;
        std::uint8_t after[2];
        std::uint16_t pc = 0x0500, sp = 0x7F;
        std::uint64_t cycles = 0;
        bool running = false;
        std::uint8_t cc = 0;
        std::int32_t speed = 19, speedAfter = 19;
    };
    const Batch all{.step = true, .irq = true, .reset = true, .digit = 9, .adjust = 1, .speed = 1};
    const Case cases[] = {
        {510, {.digit = 0xE}, {0x12, 0}, 511, {0xE2, 0}},
        {511, {.digit = 0xE}, {0x12, 0}, 512, {0x1E, 0}},
        {2079, {.digit = 5}, {0xAB, 0}, 2080, {0xA5, 0}},
        {7, {.digit = 0x1A}, {0xFF, 0}, 8, {0xFA, 0}}, // masked to four bits
        {2049, {.adjust = 1}, {0xFF, 0}, 2049, {0x00, 0}},
        {4, {.digit = 7, .adjust = 1}, {0x35, 0x10}, 5, {0x76, 0x10}},
        {5, {.digit = 0xB, .adjust = -1}, {0x76, 0x10}, 6, {0x7B, 0x0F}},
        {2, {}, {}, 2, {}},
        {2, {.step = true}, {}, 2, {}, 0x0500, 0x7F, 0, true},
        {2, {.step = true}, {}, 2, {}, 0x0501, 0x7F, 2},
        {2, {.irq = true}, {}, 2, {}, 0x0500, 0x7F, 0, false, Mc6802::flagI},
        {2, {.irq = true}, {}, 2, {}, 0xF900, 0x78},
        {2, all, {}, 3, {}, 0xF800, 0x00, 2, false, 0, 19, 20},
        {2, {.speed = 1}, {}, 2, {}, 0x0500, 0x7F, 0, false, 0, 100, 100},
        {2, {.speed = -1}, {}, 2, {}, 0x0500, 0x7F, 0, false, 0, 1, 1},
    };
    for (const Case& c : cases) {
        Rig r;
        const auto a = static_cast<std::uint16_t>(c.cursor / 2);
        r.m.load(a, {c.before[0], c.before[1]});
        r.m.load(0xFFF8, {0xF9, 0x00, 0, 0, 0, 0, 0xF8, 0x00}); // irq and reset vectors
        r.m.program(0x0500, {0x4C});                            // inca
        r.m.cpu.CC = c.cc;
        r.m.cpu.SP = 0x7F;
        r.engine.editCursor = c.cursor;
        r.engine.speed = c.speed;
        r.control.running = c.running;
        r.apply(c.batch);
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        EXPECT_EQ(r.engine.editCursor, c.cursorAfter);
        EXPECT_EQ(r.engine.speed, c.speedAfter);
        EXPECT_EQ(r.m.cpu.PC, c.pc);
        EXPECT_EQ(r.m.cpu.SP, c.sp);
        EXPECT_EQ(r.m.cpu.cycleCount, c.cycles);
        for (int i : {0, 1}) {
            EXPECT_EQ(r.m.memory[a + i], c.after[i]) << "byte " << i;
            const bool adjusted = c.batch.adjust != 0 && a + i == c.cursorAfter / 2;
            EXPECT_EQ(r.m.heat[a + i], adjusted ? 100u : 0u) << "byte " << i;
        }
        r.m.cpu.CC = 0; // an empty batch after it changes nothing: no request was kept
        r.apply();
        EXPECT_EQ(r.m.cpu.PC, c.pc);
        EXPECT_EQ(r.m.cpu.cycleCount, c.cycles);
    }
}

// A sample is the DAC byte, read without heat; stopped, or in bytes that make no whole
// sample, the buffer is zeros. Every byte of the buffer is written, none past it.
TEST(AudioCallback, SamplesAreTheDacByte) {
    EXPECT_EQ(dac(0x7F), 0.0f);
    const float high = dac(0xFF), thousandth = dac(0x80);
    const std::uint32_t bits = 0x3A83126F; // 0.001f exactly
    EXPECT_EQ(std::memcmp(&thousandth, &bits, 4), 0);
    for (bool running : {false, true}) {
        for (int len : {0, 3, 23}) {
            Rig r;
            r.m.cpu.PC = 0x0600; // zeros: one-cycle skipped opcodes, no DAC writes
            r.m.memory[0x0400] = 0xFF;
            r.control.running = running;
            std::vector<Uint8> buf(static_cast<std::size_t>(len) + 8, 0xAA), want = buf;
            audioCallback(&r.engine, buf.data(), len);
            const int n = running ? len / 4 : 0;
            std::fill_n(want.begin(), len, 0);
            for (int i = 0; i < n; ++i)
                std::memcpy(want.data() + 4 * i, &high, 4);
            EXPECT_EQ(buf, want) << "len " << len << " running " << running;
            EXPECT_EQ(r.m.cpu.cycleCount, std::uint64_t(n) * 19) << len;
            EXPECT_EQ(r.m.heat[0x0400], 0u);
        }
    }
}

// Sample k takes the DAC byte once the processor has reached k * speed cycles; the
// instruction crossing the target overshoots, and the next sample starts from there.
TEST(AudioCallback, EachSampleTakesTheDacAfterItsTarget) {
    Rig r;
    r.countingLoop();
    r.engine.speed = 4; // targets 4, 8, 12, ...: inc ends at 6, jmp at 9, inc at 15, jmp at 18
    r.control.running = true;
    EXPECT_EQ(r.render(5), (std::vector{dac(1), dac(1), dac(2), dac(2), dac(3)}));
    EXPECT_EQ(r.m.cpu.cycleCount, 24u);
}

TEST(AudioCallback, SpeedChangeMovesTheTargetAtOnce) {
    Rig r;
    r.m.cpu.PC = 0x0600; // one-cycle instructions: the processor lands exactly on the target
    r.control.running = true;
    r.render(1024);
    ASSERT_EQ(r.m.cpu.cycleCount, 1024u * 19);
    r.handOver({.speed = 1});
    r.render(1); // 1,024 extra cycles besides the sample's own 20
    EXPECT_EQ(r.m.cpu.cycleCount, 1025u * 20);
    // Back down: idle until 19 * sampleCount passes 20,500, at sample 1079.
    r.handOver({.speed = -1});
    int idle = 0;
    for (; r.m.cpu.cycleCount == 1025u * 20 && idle < 1000; ++idle)
        r.render(1);
    EXPECT_EQ(idle, 1079 - 1025);
    EXPECT_EQ(r.m.cpu.cycleCount, 1079u * 19);
}

TEST(AudioCallback, StoppedIsSilentAndStepsAreCaughtUpAfter) {
    Rig r;
    r.countingLoop();
    r.engine.speed = 9;
    r.control.cursorDx = 1; // written but not handed over: not applied
    r.render(4);
    EXPECT_EQ(r.engine.editCursor, 0);
    for (int i = 0; i < 4; ++i) { // inc, jmp, inc, jmp: 18 cycles, DAC 2
        r.handOver({.step = true, .dx = 1});
        EXPECT_EQ(r.render(16), std::vector(16, 0.0f));
    }
    EXPECT_EQ(r.engine.editCursor, 4) << "batches are applied while stopped";
    EXPECT_EQ(r.engine.sampleCount, 0u);
    EXPECT_EQ(r.m.cpu.cycleCount, 18u);
    r.control.running = true; // targets 9 and 18 already reached: the held byte twice
    EXPECT_EQ(r.render(4), (std::vector{dac(2), dac(2), dac(3), dac(4)}));
    r.control.running = false; // stopping drops to silence rather than holding the level
    EXPECT_EQ(r.render(4), std::vector(4, 0.0f));
}

// The soak run's starvation counters: every callback counts a buffer; one that took longer
// than its playing time counts an overrun, by wall time and, separately, by the thread's
// processor time.
TEST(AudioTiming, CountsBuffersAndOverruns) {
    Rig r;
    r.render(AudioEngine::bufferFrames);
    EXPECT_EQ(r.engine.timing.buffers.load(), 1u);
    EXPECT_EQ(r.engine.timing.cpuOverruns.load(), 0u); // a stopped processor makes silence fast

    AudioTiming timing;
    const Uint64 budget = 1024 * SDL_GetPerformanceFrequency() / 48000; // 21.3 ms
    const std::uint64_t cpuBudget = 1024ull * 1000000000 / 48000;       // in nanoseconds
    timing.record(budget - 1, cpuBudget + 1, 1024, 48000);
    timing.record(budget + 1, cpuBudget - 1, 1024, 48000); // preempted: late, not slow
    timing.record(budget / 2, cpuBudget / 2, 1024, 48000);
    EXPECT_EQ(timing.buffers.load(), 3u);
    EXPECT_EQ(timing.overruns.load(), 1u);
    EXPECT_EQ(timing.cpuOverruns.load(), 1u);
    EXPECT_EQ(timing.worstTicks.load(), budget + 1);
    EXPECT_EQ(timing.worstBudget.load(), budget);
}
