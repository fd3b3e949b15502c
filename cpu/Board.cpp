#include "cpu/Board.h"

#include <cstddef>
#include <cstring>

namespace {

// Copies in 2 KiB pieces. A single large memcpy is done by glibc with `rep movsb`, which on
// the AMD EPYC this was measured on takes some 15 times longer (88 us instead of 6 us for
// the heat map) when the destination lies 16 bytes past a 64-byte multiple of the source,
// as two such heap arrays happen to; pieces this small take glibc's vector loop, which does
// not care.
void copyInPieces(void* destination, const void* source, std::size_t bytes) {
    constexpr std::size_t piece = 2048;
    auto* to = static_cast<unsigned char*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    for (std::size_t offset = 0; offset < bytes; offset += piece)
        std::memcpy(to + offset, from + offset, bytes - offset < piece ? bytes - offset : piece);
}

} // namespace

void Board::allocate() {
    memory.assign(Mc6802::memorySize, 0);
    heat.assign(HeatMap::size, 0);
    cpu.memory = memory.data();
    cpu.heat = heat.data();
}

void Board::release() {
    cpu.memory = nullptr;
    cpu.heat = nullptr;
    memory = std::vector<std::uint8_t>();
    heat = std::vector<std::uint32_t>();
}

void Board::setState(const Mc6802& state) {
    std::uint8_t* const ownMemory = cpu.memory;
    std::uint32_t* const ownHeat = cpu.heat;
    History* const ownHistory = cpu.history;
    cpu = state;
    cpu.memory = ownMemory;
    cpu.heat = ownHeat;
    cpu.record(ownHistory);
}

void Board::copyFrom(const Mc6802& live) {
    setState(live);
    if (live.memory) copyInPieces(memory.data(), live.memory, memory.size());
    if (live.heat) copyInPieces(heat.data(), live.heat, heat.size() * sizeof(std::uint32_t));
}
