#include "cpu/History.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// Everything back restores: registers, the wait after WAI, the cycle count and the write window.
auto take(const Machine& m) {
    return std::tuple(
        registers(m.cpu), m.cpu.waiting, m.cpu.cycleCount,
        std::vector(m.memory.begin(), m.memory.begin() + Mc6802::writeWindowLast + 1));
}

// Runs the ops, taking the state after each; steps back over each that took steps, comparing
// with the state before it; replays them, comparing again.
template <typename Op> void crossCheck(Machine& m, History& history, int ops, Op op) {
    std::vector states{take(m)};
    std::vector<std::uint64_t> depths{history.depth(m.cpu)};
    for (int i = 0; i < ops; ++i)
        op(i), states.push_back(take(m)), depths.push_back(history.depth(m.cpu));
    ASSERT_GT(depths.back() - depths[0], std::uint64_t(ops) / 50) << "the ops took too few steps";
    for (int i = ops; i > 0; --i) {
        const auto i_ = static_cast<std::size_t>(i);
        const std::uint64_t steps = depths[i_] - depths[i_ - 1];
        if (steps == 0) continue;
        ASSERT_EQ(history.back(m.cpu, steps), steps) << "op " << i;
        ASSERT_TRUE(take(m) == states[i_ - 1]) << "back over op " << i << ", PC " << m.cpu.PC;
    }
    EXPECT_EQ(history.depth(m.cpu), depths[0]);
    for (int i = 0; i < ops; ++i) {
        op(i);
        ASSERT_TRUE(take(m) == states[static_cast<std::size_t>(i) + 1]) << "replaying op " << i;
    }
}

// Steps (step, runUntil), now and then a longer run, an interrupt request and an edit.
void mixedOps(Machine& m, int i) {
    if (i % 200 == 199) return m.cpu.irq();
    if (i % 150 == 149) {
        m.memory[static_cast<std::size_t>(i % 0x411)] ^= 0x5A;
        return m.cpu.history->changed();
    }
    if (i % 2 == 0 && i % 97 != 0) return static_cast<void>(m.cpu.step());
    m.cpu.runUntil(m.cpu.cycleCount + (i % 97 == 0 ? 200 : 1)); // 1: an instruction takes 1 or more
}

} // namespace

// Stepped back one op at a time, demo.snd (the board's set, with its commands' interrupts),
// chip.snd (the complete set: WAI's wait and the interrupts that end it; command 0 returns at
// once) and a loop at the write window's end come back to every state they passed, and replay.
TEST(History, StepsBackThroughEveryStateAndReplaysIt) {
    for (const char* name : {"demo", "chip", "edge"}) {
        SCOPED_TRACE(name);
        Machine m;
        History history(8, 64); // checkpoints at least every 64 steps, the oldest dropped
        m.cpu.record(&history);
        if (std::string(name) == "edge") {
            m.cpu.instructionSet = InstructionSet::Complete;
            m.program(0x2000,
                      {0x8E, 0x04, 0x11, 0xCE, 0xBE, 0xEF, 0xFF, 0x04, 0x0F, 0xFF, 0x04, 0x10,
                       0x86, 0x5A, 0xB7, 0x04, 0x10, 0x36, 0x36, 0xBD, 0x20, 0x20, 0x20, 0xE8});
            m.load(0x2020, {0x7C, 0x04, 0x10, 0x7F, 0x04, 0x0F, 0x3F, 0x39});
            m.load(0x2030, {0x3B}), m.load(Mc6802::irqVector, {0x20, 0x00, 0x20, 0x30}); // IRQ, SWI
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

// In under 40 MiB, a million steps or more even with a change every 85 steps (a buffer at speed
// 1): back goes to the oldest checkpoint held and lands where the program's arithmetic says (s
// steps: (s + 1) / 2 incs of 6 cycles, s / 2 bras of 4). A reset clears it.
TEST(History, HoldsAMillionStepsInBoundedMemory) {
    Machine m;
    auto history = std::make_unique<History>();
    m.cpu.record(history.get());
    m.program(0x0100, {0x7C, 0x00, 0x10, 0x20, 0xFB}); // inc $0010; bra -5
    const std::uint64_t run = 3'000'000;
    for (std::uint64_t step = 1; step <= run; ++step)
        if (m.cpu.step(), step % 85 == 0) history->changed();
    EXPECT_LT(history->bytes(), 40u << 20);
    const std::uint64_t back = history->back(m.cpu, run), s = run - back;
    EXPECT_TRUE(back >= 1'000'000 && back < run) << back;
    EXPECT_EQ(std::tuple(m.cpu.cycleCount, +m.memory[0x10], m.cpu.PC, m.cpu.steps),
              std::tuple((s + 1) / 2 * 6 + s / 2 * 4, int((s + 1) / 2 % 256),
                         s % 2 != 0 ? 0x0103 : 0x0100, s));
    EXPECT_EQ(history->back(m.cpu, 1), 0u);
    m.cpu.step(), m.cpu.reset();
    EXPECT_EQ(history->depth(m.cpu), 0u);
}
