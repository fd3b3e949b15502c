#include "audio/ControlBlock.h"

#include <cstddef>

void ControlBlock::clearBatch() {
    step = false;
    irq = false;
    reset = false;
    enter = false;
    load = false;
    cursorDx = 0;
    cursorDy = 0;
    switchPanel = false;
    hexDigit = -1;
    adjust = 0;
    speedDelta = 0;
    record = false;
    trace = false;
    switchInstructionSet = false;
    stepOver = false;
    stepOut = false;
    commandCount = 0;
}

void ControlBlock::Entry::describe(char (&out)[16]) const {
    static constexpr char hex[] = "0123456789ABCDEF";
    const char* prefix = !open()                        ? ""
                         : kind == Command::Kind::Break ? "break at "
                         : kind == Command::Kind::Watch ? "watch at "
                                                        : "sound ";
    std::size_t n = 0;
    while (prefix[n] != '\0') {
        out[n] = prefix[n];
        ++n;
    }
    if (open()) {
        for (std::int32_t i = 0; i < length(); ++i) {
            const unsigned shift = static_cast<unsigned>(4 * (digits - 1 - i));
            out[n++] = i < digits ? hex[(value >> shift) & 0xF] : '_';
        }
    }
    out[n] = '\0';
}
