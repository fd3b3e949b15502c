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

// Runs the ops, taking the state after each; steps back over each, comparing with the state
// before it; replays them, comparing again. An edit or an op only lengthening a wait adds no
// step, and cannot be undone on its own.
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

// One step at a time (step, runUntil), now and then a longer run, an interrupt request and
// an edit of the write window, as the audio thread makes them.
void mixedOps(Machine& m, int i) {
    if (i % 200 == 199) return m.cpu.irq();
    if (i % 150 == 149) {
        m.memory[static_cast<std::size_t>(i % 0x411)] ^= 0x5A;
        return m.cpu.history->changed();
    }
    if (i % 2 == 0 && i % 97 != 0) return static_cast<void>(m.cpu.step());
    m.cpu.runUntil(m.cpu.cycleCount + (i % 97 == 0 ? 200 : 1)); // 1: an instruction takes 1 or more
}

// Complete set, at 2000: lds #$0411; ldx #$beef; stx $040f; stx $0410 (dropped: 0411 is
// outside); ldaa #$5a; staa $0410; psha; psha (the first dropped); jsr 2020; bra 2000. At 2020:
// inc $0410; clr $040f; swi (to 2030: rti); rts.
const std::string windowEdge = "8E0411CEBEEFFF040FFF0410865AB704103636BD202020E8";
const std::string windowEdgeRoutine = "7C04107F040F3F39";

void place(Machine& m, std::uint16_t address, const std::string& hex) {
    for (std::size_t i = 0; i < hex.size(); i += 2)
        m.memory[address++] = static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16));
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
            m.program(0x2000, {});
            place(m, 0x2000, windowEdge), place(m, 0x2020, windowEdgeRoutine);
            place(m, 0x2030, "3B"), place(m, Mc6802::irqVector, "20002030"); // IRQ, SWI
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

// The ring holds the newest checkpoints; back stops at the oldest it still holds. A reset
// clears it.
TEST(History, KeepsTheNewestStepsUpToItsCapacity) {
    Machine m;
    History history(2, 4); // four checkpoints, every 4 steps: the last 16 steps or more
    m.cpu.record(&history);
    m.program(0x0100, {0x7C, 0x00, 0x10, 0x20, 0xFB}); // inc $0010; bra -5
    std::vector states{take(m)};
    for (int i = 0; i < 40; ++i)
        m.cpu.step(), states.push_back(take(m));
    EXPECT_EQ(history.back(m.cpu, 20), 16u);
    EXPECT_TRUE(take(m) == states[24]);
    EXPECT_EQ(history.back(m.cpu, 1), 0u);
    m.cpu.step(), m.cpu.reset();
    EXPECT_EQ(history.depth(m.cpu), 0u);
}

// The default history holds a million steps even when every buffer's batch changes something
// (a buffer at speed 1 runs 85 steps at the least), in under 40 MiB; back to the first is exact.
TEST(History, HoldsAMillionStepsInBoundedMemory) {
    Machine m;
    auto history = std::make_unique<History>();
    m.cpu.record(history.get());
    m.program(0x0100, {0x7C, 0x00, 0x10, 0x20, 0xFB}); // inc $0010; bra -5
    const auto start = take(m);
    for (int step = 1; step <= 1'000'000; ++step)
        if (m.cpu.step(), step % 85 == 0) history->changed();
    EXPECT_LT(history->bytes(), 40u << 20);
    EXPECT_EQ(history->back(m.cpu, 1'000'000), 1'000'000u);
    EXPECT_TRUE(take(m) == start);
}
