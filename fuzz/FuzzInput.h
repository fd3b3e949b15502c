#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Reads a fuzzer's input front to back; once it is used up every read gives 0, so any input
// is a complete case.
struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;

    bool empty() const { return pos >= size; }
    std::uint8_t u8() { return empty() ? 0 : data[pos++]; }
    std::uint16_t u16() { // big-endian, like the board's words
        const std::uint8_t high = u8();
        return static_cast<std::uint16_t>(high << 8 | u8());
    }
};

// A broken invariant is a finding: report it and abort so that the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
