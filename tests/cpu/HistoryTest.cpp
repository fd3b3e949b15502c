#include "cpu/History.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

// Everything back restores: registers, the wait after WAI, the cycle count and the write window.
struct State {
    std::tuple<int, int, int, std::uint16_t, std::uint16_t, std::uint16_t> registers;
    bool waiting;
    std::uint64_t cycles;
    std::vector<std::uint8_t> window;
    bool operator==(const State&) const = default;
};

State take(const Machine& m) {
    return {registers(m.cpu),
            m.cpu.waiting,
            m.cpu.cycleCount,
            {m.memory.begin(), m.memory.begin() + Mc6802::writeWindowLast + 1}};
}

// Runs the ops, each a call that takes the processor one or more steps on, with a state taken
// after each; steps back over each op in turn, comparing with the state before it; then runs
// them again from the start, comparing once more. An op that only lengthens a wait after WAI
// adds no step: it is undone with the wait.
void crossCheck(Machine& m, const History& history, int ops, const std::function<void(int)>& op) {
    std::vector<State> states{take(m)};
    std::vector<std::uint64_t> depths{history.depth()};
    for (int i = 0; i < ops; ++i) {
        op(i);
        states.push_back(take(m));
        depths.push_back(history.depth());
    }
    ASSERT_GT(depths.back() - depths[0], std::uint64_t(ops) / 50) << "the ops took too few steps";
    for (int i = ops; i > 0; --i) {
        const auto i_ = static_cast<std::size_t>(i);
        const std::uint64_t steps = depths[i_] - depths[i_ - 1];
        if (steps == 0) {
            ASSERT_TRUE(states[i_] == states[i_ - 1] || states[i_ - 1].waiting) << "op " << i;
            continue;
        }
        ASSERT_EQ(m.cpu.history->back(m.cpu, steps), steps) << "op " << i;
        ASSERT_TRUE(take(m) == states[i_ - 1]) << "back over op " << i << ", PC " << m.cpu.PC;
    }
    EXPECT_EQ(history.depth(), depths[0]);
    for (int i = 0; i < ops; ++i) {
        op(i);
        ASSERT_TRUE(take(m) == states[static_cast<std::size_t>(i) + 1]) << "replaying op " << i;
    }
}

// One step at a time, through step and through the recording loop, with now and then a longer
// run and an interrupt request.
void mixedOps(Machine& m, int i) {
    if (i % 200 == 199)
        m.cpu.irq();
    else if (i % 97 == 0)
        m.cpu.runUntil(m.cpu.cycleCount + 200);
    else if (i % 2 == 0)
        m.cpu.step();
    else
        m.cpu.runUntil(m.cpu.cycleCount + 1); // one instruction: none takes less than a cycle
}

// Complete set: 16-bit stores and pushes at the write window's end (0x040F and 0x0410 land,
// 0x0411 does not), read-modify-writes, JSR, SWI's frame and RTI, in a loop.
constexpr std::uint8_t windowEdge[] = {
    0x8E, 0x04, 0x11, //  2000  lds  #$0411
    0xCE, 0xBE, 0xEF, //  2003  ldx  #$beef
    0xFF, 0x04, 0x0F, //  2006  stx  $040f
    0xFF, 0x04, 0x10, //  2009  stx  $0410   ; dropped: 0x0411 is outside
    0x86, 0x5A,       //  200C  ldaa #$5a
    0xB7, 0x04, 0x10, //  200E  staa $0410
    0x36, 0x36,       //  2011  psha; psha   ; the first is dropped
    0xBD, 0x20, 0x20, //  2013  jsr  $2020
    0x20, 0xE8,       //  2016  bra  $2000
};
constexpr std::uint8_t windowEdgeRoutine[] = {
    0x7C, 0x04, 0x10, //  2020  inc  $0410
    0x7F, 0x04, 0x0F, //  2023  clr  $040f
    0x3F,             //  2026  swi          ; to 2030: rti
    0x39,             //  2027  rts
};

} // namespace

// Stepped back one op at a time, demo.snd (the board's set, with its commands' interrupts),
// chip.snd (the complete set: WAI's wait and the interrupts that end it, with command 0, which
// returns at once) and a loop at the
// write window's end come back to every state they passed, and then replay it exactly.
TEST(History, StepsBackThroughEveryStateAndReplaysIt) {
    for (const char* name : {"demo", "chip", "edge"}) {
        SCOPED_TRACE(name);
        Machine m;
        History history(16);
        m.cpu.record(&history);
        if (std::string(name) == "edge") {
            m.cpu.instructionSet = InstructionSet::Complete;
            m.program(0x2000, {});
            std::copy(std::begin(windowEdge), std::end(windowEdge), m.memory.begin() + 0x2000);
            std::copy(std::begin(windowEdgeRoutine), std::end(windowEdgeRoutine),
                      m.memory.begin() + 0x2020);
            m.load(0x2030, {0x3B});
            m.load(Mc6802::swiVector, {0x20, 0x30});
            m.load(Mc6802::irqVector, {0x20, 0x00});
            m.cpu.SP = 0x0411;
        } else {
            const std::vector<std::uint8_t> image = readRomImage(name);
            ASSERT_EQ(image.size(), Mc6802::romSize);
            std::copy(image.begin(), image.end(), m.memory.begin() + Mc6802::romBase);
            m.cpu.instructionSet =
                name == std::string("chip") ? InstructionSet::Complete : InstructionSet::Board;
            m.cpu.reset();
            m.cpu.runUntil(50000); // booted, waiting for a command
            m.cpu.irq();           // so that no wait began before the first op
        }
        m.memory[Mc6802::commandLatch] = name == std::string("chip") ? 0 : 2; // 0: back to WAI
        crossCheck(m, history, 3000, [&](int i) { mixedOps(m, i); });
    }
}

// The ring holds the newest steps; back stops at the oldest it still holds. A reset clears it,
// and running on after back drops the steps undone.
TEST(History, KeepsTheNewestStepsUpToItsCapacity) {
    Machine m;
    History history(4);
    m.cpu.record(&history);
    m.program(0x0100, {0x7C, 0x00, 0x10, 0x20, 0xFB}); // inc $0010; bra -5
    std::vector<State> states{take(m)};
    for (int i = 0; i < 40; ++i) {
        m.cpu.step();
        states.push_back(take(m));
    }
    EXPECT_EQ(history.depth(), 16u);
    EXPECT_EQ(history.back(m.cpu, 20), 16u);
    EXPECT_TRUE(take(m) == states[24]);
    EXPECT_EQ(history.back(m.cpu, 1), 0u);
    m.cpu.runUntil(m.cpu.cycleCount + 30); // three times inc (6 cycles), bra (4)
    EXPECT_TRUE(take(m) == states[30]);
    EXPECT_EQ(history.depth(), 6u);
    EXPECT_EQ(history.back(m.cpu, 7), 6u);
    EXPECT_TRUE(take(m) == states[24]);
    m.cpu.step();
    m.cpu.reset();
    EXPECT_EQ(history.depth(), 0u);
    EXPECT_EQ(history.bytes(), 16u * 16 + 16u * 8 * 4);
}
