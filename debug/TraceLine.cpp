#include "debug/TraceLine.h"

#include "cpu/Hex.h"
#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"

#include <cstring>

namespace {

constexpr int cycleColumns = 11;
constexpr std::size_t textColumns = 11; // the longest disassembly, "ldx  #$f800"

char* put(char* p, const char* text) {
    while (*text != '\0')
        *p++ = *text++;
    return p;
}

char* putHex(char* p, unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        p[i] = hexDigits[value & 0xF];
    return p + digits;
}

} // namespace

std::size_t TraceLine::format(const TraceRecord& r, char* line) {
    char* p = line;
    char digits[20];
    int n = 0;
    for (std::uint64_t c = r.cycles; n == 0 || c != 0; c /= 10)
        digits[n++] = static_cast<char>('0' + c % 10);
    for (int i = n; i < cycleColumns; ++i)
        *p++ = ' ';
    while (n > 0)
        *p++ = digits[--n];

    if (r.interrupt) {
        p = putHex(put(p, "  ---- interrupt: PC "), r.from, 4);
        p = putHex(put(p, ", vector "), Mc6802::irqVector, 4);
        p = putHex(put(p, " -> "), r.pc, 4);
        *p++ = '\n';
        return static_cast<std::size_t>(p - line);
    }
    p = putHex(put(p, "  "), r.pc, 4);
    p = put(p, "  ");
    // The bytes the processor took as the instruction: an opcode it skips is one byte.
    const OpcodeInfo& info = opcodeTableFor(r.set)[r.bytes[0]];
    const int length = info.implemented() ? info.length() : 1;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) *p++ = ' ';
        p = i < length ? putHex(p, r.bytes[i], 2) : put(p, "  ");
    }

    char text[textColumns + 1];
    Mc6802::disassembleBytes(r.set, r.pc, r.bytes, text);
    p = put(put(p, "  "), text);
    for (std::size_t i = std::strlen(text); i < textColumns; ++i)
        *p++ = ' ';

    p = putHex(put(p, "  A="), r.a, 2);
    p = putHex(put(p, " B="), r.b, 2);
    p = putHex(put(p, " X="), r.x, 4);
    p = putHex(put(p, " SP="), r.sp, 4);
    p = putHex(put(p, " CC="), r.cc, 2);
    *p++ = '\n';
    return static_cast<std::size_t>(p - line);
}
