#include "cpu/History.h"
#include "tests/support/AudioRig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

namespace {

struct Batch {
    bool step = false, irq = false, reset = false;
    std::int32_t dx = 0, dy = 0;
    bool tab = false;
    std::int32_t digit = -1, adjust = 0, speed = 0;
};

struct Rig : AudioRig {
    void handOver(const Batch& b, bool now = false) {
        std::tie(control.step, control.irq, control.reset, control.switchPanel, control.cursorDx,
                 control.cursorDy, control.hexDigit, control.adjust, control.speedDelta) =
            std::tuple(b.step, b.irq, b.reset, b.tab, b.dx, b.dy, b.digit, b.adjust, b.speed);
        control.pending = !now;
        if (now) engine.applyCommands();
    }
};

} // namespace

// Moves clamp into RAM (0..511) or the PIA row (2048..2079) and cross at the ends; Tab wins.
TEST(ApplyCommands, CursorMotionCorners) {
    const std::int32_t cases[][5] = {
        // from, dx, dy, tab, to
        {100, 1, 0, 0, 101},   {100, -1, 1, 0, 131},  {0, -1, 1, 0, 31},      {485, 0, 1, 0, 2048},
        {511, 1, 0, 0, 2048},  {479, 0, 1, 0, 511},   {5, 0, -1, 0, 0},       {0, -1, 0, 0, 0},
        {2050, 0, -1, 0, 511}, {2048, -1, 0, 0, 511}, {2079, 1, 0, 0, 2079},  {2060, 0, 1, 0, 2079},
        {2060, 1, 0, 0, 2061}, {512, 0, 0, 0, 511},   {2080, 0, 0, 0, 2079},  {42, 0, 0, 0, 42},
        {300, 1, 1, 1, 2048},  {2070, -1, -1, 1, 0},  {2049, -1, 0, 0, 2048}, {510, 1, 0, 0, 511}};
    for (const auto& c : cases) {
        Rig r;
        r.engine.editCursor = c[0];
        r.handOver({.dx = c[1], .dy = c[2], .tab = c[3] != 0}, true);
        EXPECT_EQ(r.engine.editCursor, c[4]) << "from " << c[0] << " " << c[1] << " " << c[2];
    }
}

// After: cursor, the bytes at cursor / 2 and after, their heat, PC, SP, cycles run, speed.
TEST(ApplyCommands, BatchesInOrder) {
    const Batch all{.step = true, .irq = true, .reset = true, .digit = 9, .adjust = 1, .speed = 1};
    const struct {
        std::int32_t cursor;
        Batch batch;
        std::uint8_t bytes[2];
        bool running;
        std::uint8_t cc;
        std::int32_t speed;
        const char* after;
    } cases[] = {
        {510, {.digit = 0xE}, {0x12, 0}, 0, 0, 19, "511 E2 00 0 0 0500 7F 0 19"},
        {511, {.digit = 0xE}, {0x12, 0}, 0, 0, 19, "512 1E 00 0 0 0500 7F 0 19"},
        {2079, {.digit = 5}, {0xAB, 0}, 0, 0, 19, "2080 A5 00 0 0 0500 7F 0 19"},
        {7, {.digit = 0x1A}, {0xFF, 0}, 0, 0, 19, "8 FA 00 0 0 0500 7F 0 19"}, // four bits
        {2049, {.adjust = 1}, {0xFF, 0}, 0, 0, 19, "2049 00 00 100 0 0500 7F 0 19"},
        {4, {.digit = 7, .adjust = 1}, {0x35, 0x10}, 0, 0, 19, "5 76 10 100 0 0500 7F 0 19"},
        {5, {.digit = 0xB, .adjust = -1}, {0x76, 0x10}, 0, 0, 19, "6 7B 0F 0 100 0500 7F 0 19"},
        {2, {.step = true}, {0, 0}, 1, 0, 19, "2 00 00 0 0 0500 7F 0 19"},
        {2, {.step = true}, {0, 0}, 0, 0, 19, "2 00 00 0 0 0501 7F 2 19"},
        {2, {.irq = true}, {0, 0}, 0, Mc6802::flagI, 19, "2 00 00 0 0 0500 7F 0 19"},
        {2, {.irq = true}, {0, 0}, 0, 0, 19, "2 00 00 0 0 F900 78 0 19"},
        {2, all, {0, 0}, 0, 0, 19, "3 00 00 100 0 F800 00 2 20"},
        {2, {.speed = 1}, {0, 0}, 0, 0, 100, "2 00 00 0 0 0500 7F 0 100"},
        {2, {.speed = -1}, {0, 0}, 0, 0, 1, "2 00 00 0 0 0500 7F 0 1"}};
    for (const auto& c : cases) {
        Rig r;
        const auto a = static_cast<std::uint16_t>(c.cursor / 2);
        r.m.load(a, {c.bytes[0], c.bytes[1]});
        r.m.load(0xFFF8, {0xF9, 0x00, 0, 0, 0, 0, 0xF8, 0x00}); // irq and reset vectors
        r.m.program(0x0500, {0x4C});                            // inca
        std::tie(r.m.cpu.CC, r.m.cpu.SP, r.engine.editCursor, r.engine.speed) =
            std::tuple(c.cc, 0x7F, c.cursor, c.speed);
        r.control.running = c.running;
        r.handOver(c.batch, true);
        char after[64];
        std::snprintf(after, sizeof after, "%d %02X %02X %u %u %04X %02X %llu %d",
                      r.engine.editCursor, r.m.memory[a], r.m.memory[a + 1], r.m.heat[a],
                      r.m.heat[a + 1], r.m.cpu.PC, r.m.cpu.SP,
                      static_cast<unsigned long long>(r.m.cpu.cycleCount), r.engine.speed);
        EXPECT_STREQ(after, c.after) << "from " << c.cursor;
        const std::uint16_t pc = r.m.cpu.PC;
        r.m.cpu.CC = 0; // an empty batch after it changes nothing: no request was kept
        r.handOver({}, true);
        EXPECT_EQ(r.m.cpu.PC, pc);
    }
}

// A sample is the DAC byte, read without heat; stopped, zeros; no byte past the buffer.
TEST(AudioCallback, SamplesAreTheDacByte) {
    const float high = dac(0xFF);
    EXPECT_EQ(dac(0x7F), 0.0f);
    for (const bool running : {false, true}) {
        Rig r;
        r.m.cpu.PC = 0x0600; // zeros: one-cycle skipped opcodes, no DAC writes
        r.m.memory[0x0400] = 0xFF;
        r.control.running = running;
        std::vector<Uint8> buffer(31, 0xAA), want(buffer); // 23 bytes: 5 samples and 3 bytes
        std::fill_n(want.begin(), 23, 0);
        for (int i = 0; running && i < 5; ++i)
            std::memcpy(want.data() + 4 * i, &high, 4);
        audioCallback(&r.engine, buffer.data(), 23);
        EXPECT_EQ(buffer, want);
        EXPECT_EQ(std::tuple(r.m.cpu.cycleCount, r.m.heat[0x0400]),
                  std::tuple(running * 95ull, 0u));
    }
}

// Sample k takes the DAC byte after k * speed cycles; overshoot carries over, steps too.
TEST(AudioCallback, EachSampleTakesTheDacAfterItsTarget) {
    Rig r; // inc $0400 (6 cycles) ; jmp $0500 (3 cycles): the DAC counts 9-cycle loop passes
    r.m.program(0x0500, {0x7C, 0x04, 0x00, 0x7E, 0x05, 0x00});
    r.engine.speed = 4; // targets 4, 8, 12, ...: inc ends at 6, jmp at 9, inc at 15, jmp at 18
    r.control.running = true;
    EXPECT_EQ(r.play(5), (std::vector{dac(1), dac(1), dac(2), dac(2), dac(3)}));

    r.control.running = false;
    r.control.cursorDx = 1; // written but not handed over: not applied
    r.play(4);
    for (int i = 0; i < 4; ++i) { // jmp, inc, jmp, inc: 18 cycles, DAC 5
        r.handOver({.step = true, .dx = 1});
        EXPECT_EQ(r.play(16), std::vector(16, 0.0f));
    }
    EXPECT_EQ(r.engine.editCursor, 4);
    EXPECT_EQ(r.m.cpu.cycleCount, 42u);
    r.control.running = true; // at 42 cycles the targets 24 to 40 are passed already
    EXPECT_EQ(r.play(7), (std::vector{dac(5), dac(5), dac(5), dac(5), dac(5), dac(5), dac(6)}));
    r.control.running = false; // stopping drops to silence rather than holding the level
    EXPECT_EQ(r.play(4), std::vector(4, 0.0f));
}

// However long the clock has run, a speed change applies from the next sample on.
TEST(AudioCallback, SpeedChangeTakesEffectFromTheNextSample) {
    for (const int delta : {+1, -1}) {
        Rig r;
        r.m.cpu.PC = 0x0600; // one-cycle instructions: the processor lands on each target
        r.control.running = true;
        r.play(60 * AudioEngine::bufferFrames);
        r.handOver({.speed = delta});
        for (int sample = 0; sample < 3; ++sample) {
            const std::uint64_t before = r.m.cpu.cycleCount;
            r.play(1);
            EXPECT_EQ(r.m.cpu.cycleCount - before, 19u + delta) << delta;
        }
    }
}

// X switches the instruction set, ending a wait; a reset in the same batch keeps it.
TEST(ApplyCommands, XSwitchesTheInstructionSet) {
    Rig r;
    r.m.cpu.waiting = true;
    for (InstructionSet expected : {InstructionSet::Complete, InstructionSet::Board}) {
        r.control.switchInstructionSet = true;
        r.handOver({.reset = true}, true);
        EXPECT_EQ(std::pair(r.m.cpu.instructionSet, r.m.cpu.waiting), std::pair(expected, false));
    }
}

// `mem ADDR` moves the RAM range of the edit cursor with the panel: a digit edits the byte
// shown at base + cursor / 2, without heat, inside the write window only; the PIA row stays.
TEST(ApplyCommands, MemShowsAndEditsTheBytesFromItsBase) {
    const struct {
        const char* line;
        std::int32_t cursor;
        std::uint16_t edited; // 0: nothing changes
    } cases[] = {{"mem 0", 3, 0x0001},      {"mem 38f", 6, 0x0383}, {"mem 380", 33, 0x0390},
                 {"mem 380", 288, 0x0410},  {"mem 380", 290, 0},    {"mem f8ff", 0, 0},
                 {"mem ffff", 2049, 0x0400}};
    for (const auto& c : cases) {
        Rig r;
        DebugCommand command;
        std::string answer;
        ASSERT_TRUE(DebugCommand::parse(c.line, nullptr, r.m.cpu, r.engine.debugger.status, command,
                                        answer))
            << answer;
        r.engine.apply(command);
        r.engine.editCursor = c.cursor;
        r.handOver({.digit = 0xA}, true);
        const std::int32_t shown = AudioEngine::cursorNibble(c.cursor, r.engine.memoryBase);
        std::uint16_t changed = 0;
        for (std::uint32_t a = 0; a < 0x10000; ++a)
            if (r.m.memory[a] != 0) changed = static_cast<std::uint16_t>(a);
        EXPECT_EQ(changed, c.edited) << c.line << ' ' << c.cursor;
        if (c.edited != 0) {
            EXPECT_EQ(shown / 2, c.edited);
            EXPECT_EQ(r.m.memory[c.edited], c.cursor % 2 ? 0x0A : 0xA0) << c.line;
            EXPECT_EQ(r.m.heat[c.edited], 0u);
        }
    }
}

// Z and back stop a run and take the processor back, the audio clock with it; an edit made in
// the same batch (=) is no step and stays.
TEST(ApplyCommands, BackStopsARunAndStepsBack) {
    Rig r;
    History history(12);
    r.m.cpu.record(&history);
    r.m.program(0x0100, {0x7C, 0x00, 0x10, 0x20, 0xFB}); // inc $0010; bra -5
    r.engine.debugger.toggleWatch(r.m.cpu, 0x0300);      // never written: the debugger's loop runs
    r.control.running = true;
    r.play(32);
    const auto before = std::tuple(registers(r.m.cpu), r.m.cpu.cycleCount, r.m.memory[0x10]);
    const std::uint64_t depth = r.engine.debugger.status.history;
    r.play(32);
    r.control.back = static_cast<std::int32_t>(r.engine.debugger.status.history - depth);
    r.engine.editCursor = 0x40, r.handOver({.adjust = 1});
    r.play(8);
    EXPECT_EQ(std::tuple(registers(r.m.cpu), r.m.cpu.cycleCount, r.m.memory[0x10]), before);
    EXPECT_EQ(std::tuple(r.m.memory[0x20], r.engine.clockCycles, r.engine.debugger.status.history,
                         r.control.isRunning()),
              std::tuple(1, r.m.cpu.cycleCount, depth, false));

    // Space, 9 and `go` in one batch: back to just after the step finds the edit.
    const std::uint64_t stepped = r.engine.debugger.status.history + 1;
    r.control.back = 0, r.control.line.kind = DebugCommand::Kind::Go, r.control.hasLine = true;
    r.handOver({.step = true, .digit = 9});
    r.play(8);
    r.control.hasLine = false;
    r.control.back = static_cast<std::int32_t>(r.engine.debugger.status.history - stepped);
    r.handOver({});
    r.play(1);
    EXPECT_EQ(std::tuple(r.engine.debugger.status.history, +r.m.memory[0x20]),
              std::tuple(stepped, 0x91));
}
