#pragma once

#include "audio/ControlBlock.h"

#include <cstdint>

// The address or byte being typed after G, W or S. The main thread's alone (Input keeps it
// across polls) until its last digit completes it into a ControlBlock::Command.
struct TypedEntry {
    using Kind = ControlBlock::Command::Kind;

    bool isOpen = false;
    Kind kind = Kind::Break; // the command it will complete
    std::uint16_t value = 0; // the digits typed so far, as a number
    std::int32_t digits = 0;

    bool open() const { return isOpen; }
    // 4 for an address, 2 for a byte.
    std::int32_t length() const { return kind == Kind::Sound ? 2 : 4; }
    // "break at F8__", "watch at 04__" or "sound 1_"; empty when no entry is open.
    void describe(char (&out)[16]) const;
};
