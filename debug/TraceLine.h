#pragma once

#include "debug/TraceRecord.h"

#include <cstddef>

// The text of a trace: one line per executed instruction and per interrupt taken, the same
// in the program's trace files and hummbox-render's.
struct TraceLine {
    // A formatted line never needs more, newline included.
    static constexpr std::size_t maxSize = 96;
    // The first line of a trace file: the columns.
    static constexpr const char* columns =
        "#    cycles  addr  bytes     instruction  registers after it\n";

    // One record as a line, newline included, into line (maxSize bytes); returns its length.
    // Decodes the record's own bytes, never the live memory:
    //      12345  F845  BD F9 00  jsr  $f900   A=00 B=12 X=0000 SP=007F CC=D0
    // and an interrupt entry, with the cycle count after it:
    //      12350  ---- interrupt: PC F848, vector FFF8 -> F900
    static std::size_t format(const TraceRecord& record, char* line);
};
