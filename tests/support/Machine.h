#pragma once

#include "cpu/Mc6802.h"

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <vector>

// The registers, to set or compare a whole processor state at once.
struct Regs {
    std::uint8_t A = 0, B = 0, CC = 0;
    std::uint16_t X = 0, SP = 0, PC = 0;
    bool operator==(const Regs&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Regs& r) {
    return os << std::hex << "A=" << +r.A << " B=" << +r.B << " CC=" << +r.CC << " X=" << r.X
              << " SP=" << r.SP << " PC=" << r.PC << std::dec;
}

// A processor wired to arrays of its own, for tests.
struct Machine {
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(Mc6802::memorySize, 0);
    std::vector<std::uint32_t> heat = std::vector<std::uint32_t>(Mc6802::memorySize, 0);
    Mc6802 cpu;

    Machine() {
        cpu.memory = memory.data();
        cpu.heat = heat.data();
    }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Writes bytes straight into memory from address on (wrapping at 0xFFFF); no heat.
    void load(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t b : bytes)
            memory[address++] = b;
    }
    // Places a program and points PC at it.
    void program(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        load(address, bytes);
        cpu.PC = address;
    }
    Regs regs() const { return {cpu.A, cpu.B, cpu.CC, cpu.X, cpu.SP, cpu.PC}; }
    void setRegs(const Regs& r) {
        cpu.A = r.A;
        cpu.B = r.B;
        cpu.CC = r.CC;
        cpu.X = r.X;
        cpu.SP = r.SP;
        cpu.PC = r.PC;
    }
    // Runs n steps and returns the cycles they took.
    std::uint64_t run(int n = 1) {
        const std::uint64_t before = cpu.cycleCount;
        for (int i = 0; i < n; ++i)
            cpu.step();
        return cpu.cycleCount - before;
    }
};
