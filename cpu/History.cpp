#include "cpu/History.h"

#include <algorithm>
#include <cstring>
#include <utility>

History::History(unsigned depthBits, std::uint64_t checkpointSteps)
    : mask((std::size_t{1} << depthBits) - 1), interval(checkpointSteps),
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
    c.steps = cpu.steps;
    c.cycles = cpu.cycleCount;
    c.x = cpu.X, c.pc = cpu.PC, c.sp = cpu.SP;
    c.a = cpu.A, c.b = cpu.B, c.cc = cpu.CC;
    c.waiting = cpu.waiting;
    c.set = cpu.instructionSet;
    std::memcpy(c.window.data(), cpu.memory, c.window.size());
    pending = false;
    due = c.steps + interval;
}

std::uint64_t History::back(Mc6802& cpu, std::uint64_t n) {
    if (pending) checkpoint(cpu); // the state now, if something changed it since the last run
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
    const Checkpoint& c = ring[newest()];
    cpu.steps = c.steps;
    cpu.cycleCount = c.cycles;
    cpu.X = c.x, cpu.PC = c.pc, cpu.SP = c.sp;
    cpu.A = c.a, cpu.B = c.b, cpu.CC = c.cc;
    cpu.waiting = c.waiting;
    cpu.instructionSet = c.set;
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
