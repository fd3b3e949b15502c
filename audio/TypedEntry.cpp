#include "audio/TypedEntry.h"

#include "cpu/Hex.h"

#include <cstddef>

void TypedEntry::describe(char (&out)[16]) const {
    const char* prefix = !open()               ? ""
                         : kind == Kind::Break ? "break at "
                         : kind == Kind::Watch ? "watch at "
                                               : "sound ";
    std::size_t n = 0;
    while (prefix[n] != '\0') {
        out[n] = prefix[n];
        ++n;
    }
    if (open()) {
        for (std::int32_t i = 0; i < length(); ++i) {
            const unsigned shift = static_cast<unsigned>(4 * (digits - 1 - i));
            out[n++] = i < digits ? hexDigits[(value >> shift) & 0xF] : '_';
        }
    }
    out[n] = '\0';
}
