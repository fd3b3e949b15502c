#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Rig {
    Machine m;
    ControlBlock control;
    AudioEngine engine;

    Rig() {
        engine.cpu = &m.cpu;
        engine.control = &control;
    }
    void apply(const std::function<void(ControlBlock&)>& fill = [](ControlBlock&) {}) {
        control.clearBatch();
        fill(control);
        engine.applyCommands();
    }
};

} // namespace

TEST(ApplyCommands, CursorMotionCorners) {
    struct Case {
        std::int32_t from;
        std::int32_t dx;
        std::int32_t dy;
        bool tab;
        std::int32_t to;
    };
    const Case cases[] = {
        {100, 1, 0, false, 101},
        {100, -1, 1, false, 131},
        {0, -1, 1, false, 31},
        {485, 0, 1, false, 2048}, // down from the last RAM row enters the PIA row's start
        {511, 1, 0, false, 2048},
        {480, 0, 1, false, 2048},
        {479, 0, 1, false, 511},
        {5, 0, -1, false, 0}, // up from the first row: nibble 0, the column is lost
        {0, -1, 0, false, 0},
        {2050, 0, -1, false, 511},
        {2048, -1, 0, false, 511},
        {2079, 1, 0, false, 2079},
        {2060, 0, 1, false, 2079},
        {2060, 1, 0, false, 2061},
        {300, 0, 0, true, 2048},
        {300, 1, 1, true, 2048}, // Tab wins over moves
        {2070, 0, 0, true, 0},
        {2070, -1, -1, true, 0},
        {512, 0, 0, false, 511},   // one past RAM after a digit comes back
        {2080, 0, 0, false, 2079}, // one past the PIA row after a digit comes back
        {2080, 1, 0, false, 2079},
        {42, 0, 0, false, 42},
    };
    for (const Case& c : cases) {
        Rig r;
        r.engine.editCursor = c.from;
        r.apply([&](ControlBlock& b) {
            b.cursorDx = c.dx;
            b.cursorDy = c.dy;
            b.switchPanel = c.tab;
        });
        EXPECT_EQ(r.engine.editCursor, c.to)
            << "from " << c.from << " dx " << c.dx << " dy " << c.dy << " tab " << c.tab;
    }
}

TEST(ApplyCommands, EmptyBatchChangesNothing) {
    Rig r;
    r.m.program(0x0500, {0x4C, 0x4C});
    r.m.memory[0x10] = 0x5A;
    r.engine.editCursor = 37;
    r.apply();
    EXPECT_EQ(r.engine.editCursor, 37);
    EXPECT_EQ(r.m.cpu.PC, 0x0500);
    EXPECT_EQ(r.m.cpu.cycleCount, 0u);
    EXPECT_EQ(r.m.memory[0x10], 0x5A);
    EXPECT_EQ(r.engine.speed, 19);
}

TEST(ApplyCommands, HexDigitWritesTheNibbleAndAdvances) {
    struct Case {
        std::int32_t cursor;
        std::uint16_t address;
        std::uint8_t before;
        std::int32_t digit;
        std::uint8_t after;
        std::int32_t cursorAfter;
    };
    const Case cases[] = {
        {0, 0x0000, 0x34, 0x9, 0x94, 1},       {1, 0x0000, 0x34, 0xC, 0x3C, 2},
        {510, 0x00FF, 0x12, 0xE, 0xE2, 511},   {511, 0x00FF, 0x12, 0xE, 0x1E, 512},
        {2048, 0x0400, 0x00, 0xF, 0xF0, 2049}, {2079, 0x040F, 0xAB, 0x5, 0xA5, 2080},
        {7, 0x0003, 0xFF, 0x1A, 0xFA, 8}, // masked to four bits
    };
    for (const Case& c : cases) {
        Rig r;
        r.engine.editCursor = c.cursor;
        r.m.memory[c.address] = c.before;
        r.apply([&](ControlBlock& b) { b.hexDigit = c.digit; });
        SCOPED_TRACE(testing::Message() << "cursor " << c.cursor);
        EXPECT_EQ(r.m.memory[c.address], c.after);
        EXPECT_EQ(r.m.heat[c.address], 0u) << "an edit is no bus access";
        EXPECT_EQ(r.engine.editCursor, c.cursorAfter);
    }

    // One past the end comes back with the next batch, even an empty one.
    Rig r;
    r.engine.editCursor = 511;
    r.apply([](ControlBlock& b) { b.hexDigit = 1; });
    r.apply();
    EXPECT_EQ(r.engine.editCursor, 511);
    r.engine.editCursor = 2079;
    r.apply([](ControlBlock& b) { b.hexDigit = 1; });
    r.apply();
    EXPECT_EQ(r.engine.editCursor, 2079);
}

TEST(ApplyCommands, AdjustChangesTheByteThroughTheBus) {
    struct Case {
        std::uint8_t before;
        std::int32_t adjust;
        std::uint8_t after;
    };
    for (Case c : {Case{0xFF, 1, 0x00}, Case{0x00, -1, 0xFF}, Case{0x41, 1, 0x42}}) {
        Rig r;
        r.engine.editCursor = 2049; // low nibble of 0x0400
        r.m.memory[0x0400] = c.before;
        r.apply([&](ControlBlock& b) { b.adjust = c.adjust; });
        EXPECT_EQ(r.m.memory[0x0400], c.after);
        EXPECT_EQ(r.m.heat[0x0400], 100u);
        EXPECT_EQ(r.engine.editCursor, 2049);
    }
}

// The digit goes in at the old cursor, the adjust at the advanced one.
TEST(ApplyCommands, DigitThenAdjustInOneBatch) {
    Rig r;
    r.m.memory[0x02] = 0x35;
    r.m.memory[0x03] = 0x10;
    r.engine.editCursor = 4; // high nibble of 0x02: the adjust hits the same byte
    r.apply([](ControlBlock& b) {
        b.hexDigit = 7;
        b.adjust = 1;
    });
    EXPECT_EQ(r.m.memory[0x02], 0x76);
    EXPECT_EQ(r.m.memory[0x03], 0x10);
    EXPECT_EQ(r.engine.editCursor, 5);

    r.apply([](ControlBlock& b) { // low nibble of 0x02: the adjust hits 0x03
        b.hexDigit = 0xB;
        b.adjust = -1;
    });
    EXPECT_EQ(r.m.memory[0x02], 0x7B);
    EXPECT_EQ(r.m.memory[0x03], 0x0F);
    EXPECT_EQ(r.engine.editCursor, 6);
}

TEST(ApplyCommands, SpeedIsClampedToOneThroughHundred) {
    struct Case {
        std::int32_t from;
        std::int32_t delta;
        std::int32_t to;
    };
    for (Case c : {Case{19, 1, 20}, Case{19, -1, 18}, Case{100, 1, 100}, Case{99, 1, 100},
                   Case{1, -1, 1}, Case{2, -1, 1}, Case{50, 0, 50}}) {
        Rig r;
        r.engine.speed = c.from;
        r.apply([&](ControlBlock& b) { b.speedDelta = c.delta; });
        EXPECT_EQ(r.engine.speed, c.to) << c.from << " + " << c.delta;
    }
}

TEST(ApplyCommands, StepOnlyWhileStopped) {
    Rig r;
    r.m.program(0x0500, {0x4C, 0x4C}); // inca ; inca
    r.control.running = true;
    r.apply([](ControlBlock& b) { b.step = true; });
    EXPECT_EQ(r.m.cpu.PC, 0x0500);
    EXPECT_EQ(r.m.cpu.cycleCount, 0u);

    r.control.running = false;
    r.apply([](ControlBlock& b) { b.step = true; });
    EXPECT_EQ(r.m.cpu.PC, 0x0501);
    EXPECT_EQ(r.m.cpu.A, 1);
    EXPECT_EQ(r.m.cpu.cycleCount, 2u);
}

TEST(ApplyCommands, IrqIsTakenOnlyWhenUnmasked) {
    Rig r;
    r.m.load(0xFFF8, {0xF9, 0x00});
    r.m.cpu.PC = 0x0500;
    r.m.cpu.SP = 0x007F;
    r.m.cpu.CC = Mc6802::flagI;
    r.apply([](ControlBlock& b) { b.irq = true; });
    EXPECT_EQ(r.m.cpu.PC, 0x0500);
    EXPECT_EQ(r.m.cpu.SP, 0x007F);

    r.apply(); // a masked request is not kept
    r.m.cpu.CC = 0;
    r.apply();
    EXPECT_EQ(r.m.cpu.PC, 0x0500);

    r.apply([](ControlBlock& b) { b.irq = true; });
    EXPECT_EQ(r.m.cpu.PC, 0xF900);
    EXPECT_EQ(r.m.cpu.SP, 0x007F - 7);
}

// Reset comes last and overrides what the same batch did to registers and low memory.
TEST(ApplyCommands, ResetIsLast) {
    Rig r;
    r.m.load(0xFFFE, {0xF8, 0x00});
    r.m.load(0xFFF8, {0xF9, 0x00});
    r.m.program(0x0500, {0x4C}); // inca
    r.m.cpu.CC = 0;
    r.m.cpu.SP = 0x007F;
    r.engine.editCursor = 2;
    r.apply([](ControlBlock& b) {
        b.step = true;
        b.irq = true;
        b.hexDigit = 9;
        b.adjust = 1;
        b.speedDelta = 1;
        b.reset = true;
    });
    EXPECT_EQ(r.m.cpu.PC, 0xF800);
    EXPECT_EQ(r.m.cpu.A, 0);
    EXPECT_EQ(r.m.cpu.SP, 0);
    EXPECT_EQ(r.m.cpu.CC, Mc6802::flagI);
    EXPECT_EQ(r.m.memory[0x01], 0x00) << "the digit and adjust were cleared by the reset";
    EXPECT_EQ(r.m.cpu.cycleCount, 2u) << "the step still ran";
    // What the reset does not reinitialise keeps the batch's effect.
    EXPECT_EQ(r.engine.editCursor, 3);
    EXPECT_EQ(r.engine.speed, 20);
}
