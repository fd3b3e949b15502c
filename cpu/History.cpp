#include "cpu/History.h"

#include "cpu/Mc6802.h"

History::History(unsigned depthBits)
    : mask((std::size_t{1} << depthBits) - 1),
      writeMask((std::size_t{writesPerStep} << depthBits) - 1),
      steps(std::make_unique_for_overwrite<Step[]>(mask + 1)),
      writes(std::make_unique_for_overwrite<std::uint32_t[]>(writeMask + 1)) {}

std::size_t History::bytes() const {
    return (mask + 1) * sizeof(Step) + (writeMask + 1) * sizeof(std::uint32_t);
}

std::uint64_t History::back(Mc6802& cpu, std::uint64_t n) {
    std::uint64_t undone = 0;
    for (; undone < n && held > 0; ++undone) {
        --held;
        const Step& s = steps[--next & mask];
        for (unsigned w = s.flags / writeCount; w > 0; --w) {
            const std::uint32_t write = writes[--writeNext & writeMask];
            cpu.memory[write >> 8] = static_cast<std::uint8_t>(write);
        }
        cpu.PC = s.pc;
        cpu.X = s.x;
        cpu.SP = s.sp;
        cpu.A = s.a;
        cpu.B = s.b;
        cpu.CC = s.cc;
        cpu.waiting = (s.flags & 1) != 0;
        cpu.cycleCount -= static_cast<std::uint32_t>(cpu.cycleCount) - s.cycles;
    }
    return undone;
}
