#pragma once

#include "cpu/Mc6802.h"

#include <array>
#include <cstddef>
#include <cstdint>

// What must hold before the instruction at a breakpoint for the breakpoint to stop there,
// in a form the run loop tests without leaving: up to maxTests tests, all of which must
// pass. Each takes a register, or the byte or the word (high byte first) at a fixed
// address, masks it and asks whether it lies within low..high (or, with outside, not). A
// gate with no tests is open always. A gate may be open where the stop does not happen:
// the debugger decides then, out of the loop.
struct StopGate {
    static constexpr std::size_t maxTests = 4;

    // What a test takes: a register (A, B and CC are bytes; X, SP and PC words), or the
    // byte or the word at address.
    enum class Source : std::uint8_t { Register8, Register16, Memory8, Memory16 };

    struct Test {
        Source source = Source::Register8;
        bool outside = false;
        std::uint16_t address = 0;
        std::uint8_t Mc6802::*byte = &Mc6802::A;
        std::uint16_t Mc6802::*word = &Mc6802::X;
        std::uint32_t mask = 0xFFFFFFFF;
        std::uint32_t low = 0;
        std::uint32_t high = 0xFFFFFFFF;

        // Member pointers rather than a switch over the registers: a load at an offset, where
        // a jump would stall the run loop.
        std::uint32_t value(const Mc6802& cpu) const {
            if (source == Source::Register8) return cpu.*byte;
            if (source == Source::Register16) return cpu.*word;
            if (cpu.memory == nullptr) return 0;
            const std::uint32_t first = cpu.memory[address];
            return source == Source::Memory8
                       ? first
                       : first << 8 | cpu.memory[static_cast<std::uint16_t>(address + 1)];
        }
        bool passes(const Mc6802& cpu) const {
            return ((value(cpu) & mask) - low <= high - low) != outside;
        }
    };

    std::array<Test, maxTests> tests{};
    std::uint8_t count = 0;

    bool open(const Mc6802& cpu) const {
        for (std::uint8_t i = 0; i < count; ++i)
            if (!tests[i].passes(cpu)) return false;
        return true;
    }
};
