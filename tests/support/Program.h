#pragma once

#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// A hand-assembled case: from the code at before.regs.PC, with the registers and memory bytes
// given, run `steps` instructions; then check the registers (PC included), the cycles taken,
// and memory bytes with their heat.
struct Program {
    struct Byte {
        std::uint16_t address;
        std::uint8_t value;
        std::uint32_t heat = 0; // checked afterwards only
    };
    struct Before {
        std::vector<std::uint8_t> code{};
        Regs regs{};
        std::vector<Byte> memory{};
        int steps = 1;
    } before;
    struct After {
        Regs regs{};
        std::uint64_t cycles = 0;
        std::vector<Byte> memory{};
    } after;

    void check() const {
        SCOPED_TRACE("program " + testing::PrintToString(before.code));
        Machine m;
        for (const Byte& b : before.memory)
            m.memory[b.address] = b.value;
        for (std::size_t i = 0; i < before.code.size(); ++i)
            m.memory[static_cast<std::uint16_t>(before.regs.PC + i)] = before.code[i];
        m.setRegs(before.regs);
        EXPECT_EQ(m.run(before.steps), after.cycles);
        EXPECT_EQ(m.regs(), after.regs);
        for (const Byte& b : after.memory) {
            EXPECT_EQ(m.memory[b.address], b.value) << "at " << std::hex << b.address;
            EXPECT_EQ(m.heat[b.address], b.heat) << "at " << std::hex << b.address;
        }
    }
};
