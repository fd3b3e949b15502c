#include "cpu/History.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// What a checkpoint keeps of the processor besides the window, for either direction.
template <typename Cpu> auto fieldsOf(Cpu& cpu) {
    return std::tie(cpu.steps, cpu.cycleCount, cpu.X, cpu.PC, cpu.SP, cpu.A, cpu.B, cpu.CC,
                    cpu.waiting, cpu.instructionSet);
}

} // namespace

History::History(unsigned depthBits, std::uint64_t checkpointSteps)
    : mask((std::size_t{1} << depthBits) - 1),
      interval(std::max<std::uint64_t>(checkpointSteps, 1)),
      ring(std::make_unique_for_overwrite<Checkpoint[]>(mask + 1)),
      replayHeat(std::make_unique<std::uint32_t[]>(Mc6802::memorySize)) {}

std::size_t History::bytes() const {
    return (mask + 1) * sizeof(Checkpoint) + Mc6802::memorySize * sizeof(std::uint32_t);
}

void History::checkpoint(const Mc6802& cpu) {
    if (count == mask + 1) {
        first = (first + 1) & mask; // the oldest makes room
        --count;
    }
    ++count;
    Checkpoint& c = ring[newest()];
    c.fields() = fieldsOf(cpu);
    std::memcpy(c.window.data(), cpu.memory, c.window.size());
    due = c.steps + interval;
}

std::uint64_t History::back(Mc6802& cpu, std::uint64_t n) {
    if (due == 0) checkpoint(cpu); // the state now, if something changed it since the last run
    n = std::min(n, depth(cpu));
    if (n == 0) return 0;
    const std::uint64_t target = cpu.steps - n;
    // The newest checkpoint at or before target: steps never decrease along the ring.
    std::size_t low = 0, high = count; // the answer lies in [low, high)
    while (high - low > 1) {
        const std::size_t mid = low + (high - low) / 2;
        (ring[(first + mid) & mask].steps <= target ? low : high) = mid;
    }
    count = low + 1; // what came after it is no longer the past
    Checkpoint& c = ring[newest()];
    fieldsOf(cpu) = c.fields();
    std::memcpy(cpu.memory, c.window.data(), c.window.size());
    due = c.steps + interval;

    // The replay: the same steps again, with no history to note them, its heat kept apart
    // and the watchpoints' notes as they were.
    History* const self = std::exchange(cpu.history, nullptr);
    std::uint32_t* const heat = std::exchange(cpu.heat, replayHeat.get());
    const std::int32_t watchHit = cpu.watchHit;
    const std::uint8_t watchBefore = cpu.watchBefore;
    while (cpu.steps < target && !cpu.waiting) // a wait ends only at a checkpoint
        cpu.step();
    cpu.history = self;
    cpu.heat = heat;
    cpu.watchHit = watchHit;
    cpu.watchBefore = watchBefore;
    return n;
}
