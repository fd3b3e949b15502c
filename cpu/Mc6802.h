#pragma once

#include "cpu/HeatMap.h"
#include "cpu/InstructionSet.h"

#include <array>
#include <cstdint>

class History;
struct StopGate;

// The sound board's MC6802: registers, the bus over the board's 64 KiB address space with
// its write window, the access heat map and the cycle counter.
//
// memory and heat point at 65,536-entry arrays owned by whoever set the processor up.
struct Mc6802 {
    // Condition code bits.
    static constexpr std::uint8_t flagC = 0x01;
    static constexpr std::uint8_t flagV = 0x02;
    static constexpr std::uint8_t flagZ = 0x04;
    static constexpr std::uint8_t flagN = 0x08;
    static constexpr std::uint8_t flagI = 0x10;
    static constexpr std::uint8_t flagH = 0x20;
    // Bits 6 and 7 are ones on the MC6800: the complete set reads, stacks and loads them so.
    static constexpr std::uint8_t ccHighOnes = 0xC0;

    // The board's memory map.
    static constexpr std::uint32_t memorySize = 65536;
    static constexpr std::uint16_t piaBase = 0x0400;
    static constexpr std::uint16_t dacAddress = 0x0400;   // PIA port A drives the DAC
    static constexpr std::uint16_t commandLatch = 0x0402; // PIA port B: the sound command
    static constexpr std::uint16_t writeWindowLast = 0x0410;
    static constexpr std::uint16_t resetClearLast = 0x04FF;
    static constexpr std::uint16_t romBase = 0xF800;
    static constexpr std::uint32_t romSize = 2048;
    static constexpr std::uint16_t irqVector = 0xFFF8;
    static constexpr std::uint16_t swiVector = 0xFFFA;
    // Interrupt entry in the complete set: stacking and vector fetch, or only the vector
    // fetch when WAI has stacked the registers already.
    static constexpr std::uint8_t irqCycles = 12;
    static constexpr std::uint8_t irqAfterWaiCycles = 4;
    static constexpr std::uint16_t resetVector = 0xFFFE;

    std::uint8_t A = 0;
    std::uint8_t B = 0;
    std::uint8_t CC = 0;
    std::uint16_t X = 0;
    std::uint16_t PC = 0;
    std::uint16_t SP = 0; // next free stack byte
    std::uint8_t* memory = nullptr;
    std::uint32_t* heat = nullptr;
    std::uint64_t cycleCount = 0;
    InstructionSet instructionSet = InstructionSet::Board; // kept by reset
    bool waiting = false; // after WAI, until an interrupt request is taken
    // Steps taken: instructions and interrupt entries; a wait after WAI is none.
    std::uint64_t steps = 0;
    // Write watchpoints. A write that lands on a byte marked (non-zero) here is noted in
    // watchHit (the first such write since watchHit was last set to -1) with the byte it
    // replaced. Only the write window can be marked: a dropped write never lands.
    std::array<std::uint8_t, writeWindowLast + 1u> watched{};
    std::int32_t watchHit = -1;
    std::uint8_t watchBefore = 0;
    // Where checkpoints for back are kept, or nowhere; set with record.
    History* history = nullptr;

    // ---- Bus -------------------------------------------------------------------------

    // The byte is loaded before the bump is stored, so the compiler need not reload it.
    std::uint8_t read8(std::uint16_t address) {
        const std::uint8_t value = memory[address];
        HeatMap::bump(heat[address]);
        return value;
    }

    // Big-endian; the low byte of a read at 0xFFFF comes from 0x0000.
    std::uint16_t read16(std::uint16_t address) {
        const std::uint8_t high = read8(address);
        const std::uint8_t low = read8(static_cast<std::uint16_t>(address + 1));
        return static_cast<std::uint16_t>(high << 8 | low);
    }

    // Only 0x0000..0x0410 (RAM and the PIA, one byte past the last PIA register) can be
    // written by the processor; anything else is dropped without a trace.
    void write8(std::uint16_t address, std::uint8_t value) {
        if (address <= writeWindowLast) {
            if (watched[address] != 0) [[unlikely]]
                noteWatchedWrite(address);
            memory[address] = value;
            HeatMap::bump(heat[address]);
        }
    }

    // Lands only when both bytes are inside the window: nothing at all is stored at 0x0410.
    void write16(std::uint16_t address, std::uint16_t value) {
        if (address < writeWindowLast) {
            write8(address, static_cast<std::uint8_t>(value >> 8));
            write8(static_cast<std::uint16_t>(address + 1), static_cast<std::uint8_t>(value));
        }
    }

    // ---- Execution -------------------------------------------------------------------

    // Clears 0x0000..0x04FF, loads PC from the reset vector, zeroes the registers and
    // masks interrupts (CC bits 6 and 7 set in the complete set). cycleCount and the rest of
    // memory are kept.
    void reset();
    // Executes one instruction; false when the opcode was skipped as unimplemented. While
    // waiting after WAI, one cycle passes instead and the result is false.
    bool step();
    // Executes instructions while cycleCount is below target: the audio clock's inner loop,
    // the same as calling step until then, with the instruction body inlined.
    void runUntil(std::uint64_t target);
    // The same, but it also returns after an instruction that leaves PC at an address marked
    // in stopAt (65,536 entries: 0, or 1 + the index of its gate in gates) whose gate is
    // open, or that notes a watched write in watchHit: the debugger's loop while only
    // breakpoints and write watchpoints are set.
    void runUntil(std::uint64_t target, const std::uint8_t* stopAt, const StopGate* gates);
    // Keeps checkpoints for back in steps from now on (cleared first), or none when null.
    void record(History* steps);
    // Enters the interrupt routine through 0xFFF8 unless I is set; a masked request is lost.
    // After WAI the registers are stacked already, so it only fetches the vector. The entry
    // is a step, and a change that the history must note.
    void irq();
    // Return from interrupt (opcode 0x3B).
    void rti();

    // Writes the instruction at address as text (at most 11 characters and a NUL, so the
    // buffer needs 12) and returns address + its length, not reduced to 16 bits.
    std::uint32_t disassemble(std::uint16_t address, char* text) const;
    // The same for an instruction held in bytes (three, whatever its length), decoded by
    // set as if it stood at address: for text made away from the live memory.
    static std::uint32_t disassembleBytes(InstructionSet set, std::uint16_t address,
                                          const std::uint8_t* bytes, char* text);

    // ---- Flag operations -------------------------------------------------------------
    // Each returns its result and updates CC. C, V and H change only where stated.

    std::uint8_t add8(std::uint8_t a, std::uint8_t m) {
        const unsigned sum = unsigned{a} + m;
        setCarry(sum > 0xFF);
        return setNZ(static_cast<std::uint8_t>(sum));
    }
    std::uint8_t adc8(std::uint8_t a, std::uint8_t m) {
        const unsigned sum = unsigned{a} + m + (CC & flagC);
        setCarry(sum > 0xFF);
        return setNZ(static_cast<std::uint8_t>(sum));
    }
    std::uint8_t sub8(std::uint8_t a, std::uint8_t m) {
        setCarry(m > a);
        return setNZ(static_cast<std::uint8_t>(a - m));
    }
    std::uint8_t sbc8(std::uint8_t a, std::uint8_t m) {
        const unsigned borrow = CC & flagC;
        setCarry(unsigned{m} + borrow > a);
        return setNZ(static_cast<std::uint8_t>(a - m - borrow));
    }
    std::uint8_t and8(std::uint8_t a, std::uint8_t m) { return setNZ(a & m); }
    std::uint8_t or8(std::uint8_t a, std::uint8_t m) { return setNZ(a | m); }
    std::uint8_t eor8(std::uint8_t a, std::uint8_t m) { return setNZ(a ^ m); }
    // C is left alone, unlike the published NEG.
    std::uint8_t neg8(std::uint8_t a) { return setNZ(static_cast<std::uint8_t>(0 - a)); }
    std::uint8_t com8(std::uint8_t a) {
        CC = static_cast<std::uint8_t>((CC & ~flagV) | flagC);
        return setNZ(static_cast<std::uint8_t>(~a));
    }
    std::uint8_t inc8(std::uint8_t a) { return setNZ(static_cast<std::uint8_t>(a + 1)); }
    std::uint8_t dec8(std::uint8_t a) { return setNZ(static_cast<std::uint8_t>(a - 1)); }
    // The shifted-out bit does not reach C.
    std::uint8_t asl8(std::uint8_t a) { return setNZ(static_cast<std::uint8_t>(a << 1)); }
    // Only Z changes: C and N keep their values.
    std::uint8_t lsr8(std::uint8_t a) {
        const std::uint8_t r = a >> 1;
        setFlag(flagZ, r == 0);
        return r;
    }
    std::uint8_t ror8(std::uint8_t a) {
        const std::uint8_t r = static_cast<std::uint8_t>((a >> 1) | ((CC & flagC) << 7));
        setCarry(a & 0x01);
        return setNZ(r);
    }
    std::uint8_t load8(std::uint8_t v) { return setNZ(v); }
    std::uint8_t store8(std::uint8_t v) {
        CC &= static_cast<std::uint8_t>(~flagV);
        return setNZ(v);
    }
    // Only Z changes.
    std::uint8_t clear8() {
        CC |= flagZ;
        return 0;
    }
    // Only Z changes.
    std::uint16_t load16(std::uint16_t v) {
        setFlag(flagZ, v == 0);
        return v;
    }
    void compare16(std::uint16_t x, std::uint16_t m) {
        const std::uint16_t d = static_cast<std::uint16_t>(x - m);
        setFlag(flagZ, d == 0);
        setFlag(flagN, (d & 0x8000) != 0);
    }

  private:
    void noteWatchedWrite(std::uint16_t address) {
        if (watchHit >= 0) return;
        watchHit = address;
        watchBefore = memory[address];
    }
    // Fetches the opcode and runs its handler, which the opcode table generates.
    [[gnu::always_inline]] bool execute();
    void setFlag(std::uint8_t mask, bool on) {
        CC = static_cast<std::uint8_t>(on ? (CC | mask) : (CC & ~mask));
    }
    void setCarry(bool on) { setFlag(flagC, on); }
    std::uint8_t setNZ(std::uint8_t r) {
        CC = static_cast<std::uint8_t>((CC & ~(flagN | flagZ)) | (r & 0x80 ? flagN : 0) |
                                       (r == 0 ? flagZ : 0));
        return r;
    }
};
