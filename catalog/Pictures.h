#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The pictures of a sound in a catalogue, as PNG files written through a ReplacingFile
// (complete or not at all). Both take 48 kHz samples as the renderer makes them and return
// false with a one-line reason in error.

// The waveform: for each of width columns the lowest and highest sample it covers, drawn
// against the DAC's whole range (bytes 0 to 255), with the rest level (0x7F) marked.
bool writeWaveform(const std::string& path, const std::vector<float>& samples, std::size_t length,
                   std::string& error);

// The spectrogram: 1,024-sample Hann windows every 256 samples, one column each, low
// frequencies at the bottom up to 24 kHz at the top, log magnitude from -90 dB to full scale
// mapped onto a black-blue-red-yellow-white ramp.
bool writeSpectrogram(const std::string& path, const std::vector<float>& samples,
                      std::size_t length, std::string& error);

// Writes size bytes to path through a ReplacingFile; false with a one-line reason.
bool writeWholeFile(const std::string& path, const void* bytes, std::size_t size,
                    std::string& error);

// Pixel sizes, for the page that shows them.
struct PictureSize {
    int width;
    int height;
};
PictureSize waveformSize(std::size_t length);
PictureSize spectrogramSize(std::size_t length);
