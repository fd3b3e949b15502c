#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the debugger screen shows in its top right corner, above the register panel: four
// rows of at most `columns` characters. The App fills it every frame.
struct StatusLine {
    static constexpr int x = 490;
    static constexpr int columns = 31; // x 490..737
    static constexpr int rows = 4;     // y 0, 8, 16, 24; the register header starts at 32
    static constexpr int sampleRate = 48000;

    std::string romName;
    std::string notice;      // e.g. "reloaded 14:02:31"; right of the name, which yields to it
    std::int32_t speed = 19; // processor cycles per sample
    bool running = false;
    std::string instructionSet; // e.g. "board"; empty shows nothing
    std::string recording;      // e.g. "recording take-3.wav 0:12"; empty shows nothing
    std::string label;          // where PC is, e.g. "delay+3"; shown when not recording

    // Row `row` as exactly `columns` characters, blank-padded; a text too long for its row
    // keeps its start and its end around "..." so that a ROM's extension stays visible.
    void format(int row, char (&out)[columns + 1]) const;
    // The emulated clock for a speed, e.g. 19 -> "912 kHz".
    static void clockText(std::int32_t speed, char (&out)[24]);
    // Copies text into out's first columns characters; a text too long keeps its head and
    // its tail around "...".
    static void fit(const char* text, std::size_t length, char* out, std::size_t columns);
};
