#pragma once

#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

// States as text: hex registers (unnamed: 0) and bytes with heat ("A=80 7E:F8,02/50").
struct Program {
    const char* code; // hex bytes at before's PC, which `steps` steps run in `cycles` cycles
    const char* before;
    const char* after;
    std::uint64_t cycles;
    int steps = 1;
    InstructionSet instructionSet = InstructionSet::Board;

    template <typename Byte> static Mc6802 parse(const char* state, Byte byte) {
        std::map<std::string, unsigned> r{{"A", 0}, {"B", 0},  {"CC", 0},
                                          {"X", 0}, {"PC", 0}, {"SP", 0}};
        std::istringstream in(state);
        for (std::string t; in >> t;) {
            const std::size_t eq = t.find('='), colon = t.find(':'), slash = t.find('/');
            if (eq != std::string::npos) {
                r[t.substr(0, eq)] = std::stoul(t.substr(eq + 1), nullptr, 16);
                continue;
            }
            const unsigned heat = slash == std::string::npos ? 0 : std::stoul(t.substr(slash + 1));
            auto address = static_cast<std::uint16_t>(std::stoul(t, nullptr, 16));
            std::istringstream values(t.substr(colon + 1, slash - colon - 1));
            for (std::string v; std::getline(values, v, ',');)
                byte(address++, std::stoul(v, nullptr, 16), heat);
        }
        EXPECT_EQ(r.size(), 6u) << "a register name is misspelt in " << state;
        return {static_cast<std::uint8_t>(r["A"]),   static_cast<std::uint8_t>(r["B"]),
                static_cast<std::uint8_t>(r["CC"]),  static_cast<std::uint16_t>(r["X"]),
                static_cast<std::uint16_t>(r["PC"]), static_cast<std::uint16_t>(r["SP"])};
    }
    // Keeps the machine's instruction set.
    static void set(Machine& m, const char* state) {
        Mc6802 regs = parse(state, [&](std::uint16_t a, unsigned v, unsigned) { m.memory[a] = v; });
        regs.instructionSet = m.cpu.instructionSet;
        m.setState(regs);
    }
    static void expect(const Machine& m, const char* state) {
        const Mc6802 regs = parse(state, [&](std::uint16_t a, unsigned value, unsigned heat) {
            EXPECT_EQ(std::pair(unsigned{m.memory[a]}, m.heat[a]), std::pair(value, heat))
                << "at " << std::hex << a;
        });
        EXPECT_EQ(registers(m.cpu), registers(regs)) << "expected " << state;
    }

    void check() const {
        SCOPED_TRACE(std::string(code) + " from " + before);
        Machine m;
        m.cpu.instructionSet = instructionSet;
        Program::set(m, before);
        std::istringstream bytes(code);
        for (unsigned b, at = m.cpu.PC; bytes >> std::hex >> b; ++at)
            m.memory[at & 0xFFFF] = static_cast<std::uint8_t>(b);
        for (int i = 0; i < steps; ++i)
            m.cpu.step();
        EXPECT_EQ(m.cpu.cycleCount, cycles);
        expect(m, after);
    }
};
