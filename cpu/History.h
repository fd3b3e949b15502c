#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct Mc6802;

// What back needs to undo the processor's last steps: for each step (an instruction, an
// interrupt entry, a wait after WAI) the registers and the cycle count before it, and for
// every write that landed during it the address and the byte it replaced. Both are rings:
// once full, each new step drops the oldest. A step writes at most 7 bytes (an interrupt
// entry, SWI, WAI), so a write ring of 8 entries a step never loses a write of a step held.
//
// The processor fills it (Mc6802::history); the audio thread, which runs the processor, is
// its only user.
class History {
  public:
    // 2^20 = 1,048,576 steps: 16 MiB of steps and 32 MiB of writes.
    static constexpr unsigned defaultDepthBits = 20;
    static constexpr unsigned writesPerStep = 8;

    // Holds the last 2^depthBits steps. The memory is reserved, not touched: pages are
    // used as the rings fill.
    explicit History(unsigned depthBits = defaultDepthBits);

    // The steps that back can undo.
    std::uint64_t depth() const { return held; }
    std::size_t capacity() const { return mask + 1; }
    // The bytes both rings take.
    std::size_t bytes() const;
    // Forgets every step: after a reset or a load the past is not this machine's.
    void clear() {
        held = 0;
        next = 0;
        writeNext = 0;
    }

    // A step is two words, put by the processor before the step runs (Mc6802::stepWords):
    // A | B << 8 | CC << 16 | the wait after WAI in bit 24 | X << 32 | PC << 48,
    // and SP | writeMark() << 16 | the low 32 bits of the cycle count << 32.
    static constexpr std::uint64_t waitingBit = std::uint64_t{1} << 24;
    void put(std::uint64_t registers, std::uint64_t rest) {
        at(next)[0] = registers;
        at(next)[1] = rest;
        advance(1);
    }
    // The runUntil loop's way in: it puts step n at at(n) itself and counts them in at the end.
    std::uint64_t* at(std::uint64_t n) { return &steps[(n & mask) * 2]; }
    std::uint64_t nextStep() const { return next; }
    std::size_t stepMask() const { return mask; }
    void advance(std::uint64_t n) {
        next += n;
        held = held + n > mask + 1 ? mask + 1 : held + n;
    }
    // Where the next write goes, in 16 bits: a step's writes are those from its mark on.
    std::uint16_t writeMark() const { return static_cast<std::uint16_t>(writeNext); }

    // Whether the newest step is a wait after WAI that began fewer than 2^31 cycles before
    // cycles: while the wait goes on it stays one step, however many calls it takes.
    bool waitGoesOn(std::uint64_t cycles) const {
        if (held == 0) return false;
        const std::uint64_t* s = &steps[((next - 1) & mask) * 2];
        return (s[0] & waitingBit) != 0 &&
               static_cast<std::uint32_t>(cycles) - static_cast<std::uint32_t>(s[1] >> 32) <
                   0x80000000u;
    }
    // A write of the current step landed on address, which held old.
    void noteWrite(std::uint16_t address, std::uint8_t old) {
        writes[writeNext & writeMask] = std::uint32_t{address} << 8 | old;
        ++writeNext;
    }

    // Undoes up to n steps, the newest first: the writes each made, its registers, the
    // wait after WAI and the cycle count. The heat map stays as it is. Returns how many.
    std::uint64_t back(Mc6802& cpu, std::uint64_t n);

  private:
    // A step takes 16 bytes. Its cycle count is kept in 32 bits: no step takes 2^32 cycles
    // (a wait is cut into steps of under 2^31).
    std::size_t mask;
    std::size_t writeMask;
    std::unique_ptr<std::uint64_t[]> steps;  // two words a step
    std::unique_ptr<std::uint32_t[]> writes; // address << 8 | the byte replaced
    std::uint64_t held = 0;                  // at most capacity()
    std::uint64_t next = 0;                  // steps begun since the last clear, less those undone
    std::uint64_t writeNext = 0;
};
