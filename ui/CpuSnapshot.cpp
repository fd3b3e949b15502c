#include "ui/CpuSnapshot.h"

#include <cstring>

CpuSnapshot::CpuSnapshot()
    : memory(new std::uint8_t[Mc6802::memorySize]()),
      heat(new std::uint32_t[Mc6802::memorySize]()) {
    cpu.memory = memory.get();
    cpu.heat = heat.get();
}

void CpuSnapshot::capture(const Mc6802& live, std::int32_t liveEditCursor) {
    cpu.A = live.A;
    cpu.B = live.B;
    cpu.CC = live.CC;
    cpu.X = live.X;
    cpu.PC = live.PC;
    cpu.SP = live.SP;
    cpu.cycleCount = live.cycleCount;
    if (live.memory) std::memcpy(memory.get(), live.memory, Mc6802::memorySize);
    if (live.heat) std::memcpy(heat.get(), live.heat, Mc6802::memorySize * sizeof(std::uint32_t));
    editCursor = liveEditCursor;
}
