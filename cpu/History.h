#pragma once

#include "cpu/Mc6802.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>

// What back needs to take the processor back a number of steps (Mc6802::steps: instructions
// and interrupt entries): checkpoints of the registers, the wait after WAI, the instruction
// set, the cycle count and the write window, the only memory the program can change. One is
// taken before the processor runs again after anything but the program changed it (an edit,
// a register set, an interrupt, X, a batch of keys), and one every checkpointSteps steps
// besides. Between two checkpoints only the program ran, so back restores the newest
// checkpoint at or before the step it wants and replays the steps after it: exactly what ran.
//
// The processor takes the checkpoints (Mc6802::history); the audio thread, which runs the
// processor, is the only user. Nothing is allocated after construction.
class History {
  public:
    // 2^15 = 32,768 checkpoints of 1,072 bytes: 33.5 MiB, which hold at least 1,000,000
    // steps even if every batch of keys changes something (two checkpoints a buffer at the
    // most, each after at least 85 steps), and 268 million steps of a program left to run.
    static constexpr unsigned defaultDepthBits = 15;
    static constexpr std::uint64_t defaultCheckpointSteps = 8192;

    // The memory is reserved, not touched: pages are used as the ring fills.
    explicit History(unsigned depthBits = defaultDepthBits,
                     std::uint64_t checkpointSteps = defaultCheckpointSteps);

    // The steps that back can undo from where cpu stands.
    std::uint64_t depth(const Mc6802& cpu) const {
        return count == 0 ? 0 : cpu.steps - ring[first].steps;
    }
    // The bytes it holds: the checkpoints and the replay's own heat map.
    std::size_t bytes() const;
    // Forgets every step: after a reset or a load the past is not this machine's.
    void clear() {
        count = 0;
        changed();
    }
    // Something other than the program changed the processor: the next run checkpoints it.
    void changed() { due = 0; }
    // The processor's call as it takes an interrupt, which is a change. The time a wait after
    // WAI has passed is no step and no replay gives it back: a waiting processor is
    // checkpointed as it stands first.
    void interrupting(const Mc6802& cpu) {
        if (cpu.waiting) checkpoint(cpu);
        changed();
    }
    // The processor's call before it runs.
    void beforeRun(const Mc6802& cpu) {
        if (cpu.steps >= due) checkpoint(cpu);
    }

    // Takes cpu back up to n steps, to the registers, the wait, the cycle count and the write
    // window it had then; the heat map stays as it is. Returns how many.
    std::uint64_t back(Mc6802& cpu, std::uint64_t n);

  private:
    struct Checkpoint {
        std::uint64_t steps;
        std::uint64_t cycles;
        std::uint16_t x, pc, sp;
        std::uint8_t a, b, cc;
        bool waiting;
        InstructionSet set;
        std::array<std::uint8_t, Mc6802::writeWindowLast + 1u> window;
        // The fields besides the window, in the order fieldsOf(cpu) gives the processor's.
        auto fields() { return std::tie(steps, cycles, x, pc, sp, a, b, cc, waiting, set); }
    };
    std::size_t newest() const { return (first + count - 1) & mask; }
    void checkpoint(const Mc6802& cpu);

    std::size_t mask;
    std::uint64_t interval;
    std::unique_ptr<Checkpoint[]> ring;
    std::unique_ptr<std::uint32_t[]> replayHeat; // the replay's reads bump this, not the board's
    std::size_t first = 0;                       // the oldest checkpoint
    std::size_t count = 0;
    // The steps at which the next checkpoint is taken; 0 when something changed the processor
    // since the newest one (a checkpoint sets it to at least interval).
    std::uint64_t due = 0;
};
