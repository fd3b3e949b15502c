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

    // The state before a step, taken before it runs.
    void begin(std::uint16_t pc, std::uint16_t x, std::uint16_t sp, std::uint8_t a, std::uint8_t b,
               std::uint8_t cc, bool waiting, std::uint64_t cycles) {
        steps[next & mask] = {static_cast<std::uint32_t>(cycles), pc, x, sp, a, b, cc,
                              static_cast<std::uint8_t>(waiting)};
        ++next;
        held += held <= mask;
    }
    // Whether the newest step is a wait after WAI that began fewer than 2^31 cycles before
    // cycles: while the wait goes on it stays one step, however many calls it takes.
    bool waitGoesOn(std::uint64_t cycles) const {
        if (held == 0) return false;
        const Step& s = steps[(next - 1) & mask];
        return (s.flags & 1) != 0 && static_cast<std::uint32_t>(cycles) - s.cycles < 0x80000000u;
    }
    // A write of the step begun last landed on address, which held old.
    void noteWrite(std::uint16_t address, std::uint8_t old) {
        writes[writeNext & writeMask] = std::uint32_t{address} << 8 | old;
        ++writeNext;
        steps[(next - 1) & mask].flags += writeCount;
    }

    // Undoes up to n steps, the newest first: the writes each made, its registers, the
    // wait after WAI and the cycle count. The heat map stays as it is. Returns how many.
    std::uint64_t back(Mc6802& cpu, std::uint64_t n);

  private:
    // The cycle count before the step in its low 32 bits: no step takes 2^32 cycles (a wait
    // is cut into steps of under 2^31).
    struct Step {
        std::uint32_t cycles;
        std::uint16_t pc, x, sp;
        std::uint8_t a, b, cc;
        std::uint8_t flags; // bit 0: waiting after WAI; the rest: writes, in writeCount units
    };
    static_assert(sizeof(Step) == 16);
    static constexpr std::uint8_t writeCount = 2;

    std::size_t mask;
    std::size_t writeMask;
    std::unique_ptr<Step[]> steps;
    std::unique_ptr<std::uint32_t[]> writes; // address << 8 | the byte replaced
    std::uint64_t held = 0;                  // at most capacity()
    std::uint64_t next = 0;                  // steps begun since the last clear, less those undone
    std::uint64_t writeNext = 0;
};
