#include "cpu/History.h"

#include "cpu/Mc6802.h"

#include <cstring>

History::History(unsigned depthBits)
    : mask((std::size_t{1} << depthBits) - 1),
      writeMask((std::size_t{writesPerStep} << depthBits) - 1),
      steps(std::make_unique_for_overwrite<std::uint64_t[]>((mask + 1) * 2)),
      writes(std::make_unique_for_overwrite<std::uint32_t[]>(writeMask + 1)) {}

std::size_t History::bytes() const {
    return (mask + 1) * 2 * sizeof(std::uint64_t) + (writeMask + 1) * sizeof(std::uint32_t);
}

std::uint64_t History::back(Mc6802& cpu, std::uint64_t n) {
    std::uint64_t undone = 0;
    for (; undone < n && held > 0; ++undone) {
        --held;
        const std::uint64_t* s = at(--next);
        const auto mark = static_cast<std::uint16_t>(s[1] >> 16);
        while (static_cast<std::uint16_t>(writeNext) != mark) {
            const std::uint32_t write = writes[--writeNext & writeMask];
            cpu.memory[write >> 8] = static_cast<std::uint8_t>(write);
        }
        Mc6802::takeRegisters(cpu, s[0]);
        cpu.SP = static_cast<std::uint16_t>(s[1]);
        cpu.cycleCount -= static_cast<std::uint32_t>(static_cast<std::uint32_t>(cpu.cycleCount) -
                                                     static_cast<std::uint32_t>(s[1] >> 32));
    }
    return undone;
}
