#pragma once

#include "cpu/Board.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AudioEngine;

// The whole board as `save` keeps it and `load` brings it back: registers, the WAI wait, the
// 64 KiB with the PROM, the heat map, the cycle count, the instruction set and the audio
// clock. On disk: a magic, a format version, the payload's length, the payload and a CRC-32
// of all before it (docs/internals.md has the layout). A file that is not exactly a state
// this build can read is refused, and refusing leaves this object as it was.
struct StateFile {
    static constexpr std::uint16_t formatVersion = 1;
    static constexpr std::size_t headerSize = 14;
    static constexpr std::size_t payloadSize = 35 + 2 * Mc6802::memorySize;
    static constexpr std::size_t fileSize = headerSize + payloadSize + 4;

    Board board;
    std::uint64_t clockCycles = 0; // AudioEngine::clockCycles
    std::uint64_t sampleCount = 0; // AudioEngine::sampleCount

    // Copies the running machine in, or puts this state into it: with the audio lock held.
    // put leaves the engine's stop rules and the processor's watch marks alone.
    void take(const Mc6802& live, const AudioEngine& engine);
    void put(Mc6802& live, AudioEngine& engine) const;

    // The file's bytes.
    std::vector<std::uint8_t> encode() const;
    // Reads a whole file's bytes; false with the reason in a few words ("damaged: checksum
    // does not match"), nothing changed.
    bool decode(const std::uint8_t* bytes, std::size_t size, std::string& reason);

    // Writes path through a ReplacingFile, or reads it; false with one line, the reason first
    // ("No space left on device: cannot save to x.state").
    bool save(const std::string& path, std::string& error) const;
    bool load(const std::string& path, std::string& error);
};
