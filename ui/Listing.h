#pragma once

#include <cstddef>
#include <cstdint>

struct Labels;
struct Mc6802;

// The rows of the debugger's listing: where each starts and what it shows, either the
// disassembler's text alone or, with the ROM's labels, operands by name and data lines as
// data.
struct Listing {
    // The row at address: its text into text (room for at least 13 characters and for
    // columns + 1) and the next row's address. Without labels the text is exactly the
    // disassembler's, after twelve blanks and a NUL.
    static std::uint16_t row(const Mc6802& cpu, const Labels* labels, std::uint16_t address,
                             char* text, std::size_t columns);
    // Where a listing that shows up to `before` rows ahead of pc starts, so that its rows
    // lead exactly to pc. The 6800 cannot be decoded backwards with certainty: the rows are
    // walked forward from the nearest label below pc (labels may be null), else from the
    // earliest point a few bytes back whose rows land on pc; pc itself when none does.
    static std::uint16_t startBefore(const Mc6802& cpu, const Labels* labels, bool labelled,
                                     std::uint16_t pc, int before);
};
