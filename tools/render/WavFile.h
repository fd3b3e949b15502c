#pragma once

#include <string>
#include <vector>

enum class WavFormat { Float32, Pcm16 };

// Writes 48 kHz mono samples to a WAV file. The data goes to a temporary file beside
// path, which is renamed over path only once it is complete, so a failure never leaves a
// half-written file behind. Only a regular file (or a new one) is written; an existing
// symbolic link is followed. Returns false with a one-line reason in error.
bool writeWav(const std::string& path, const std::vector<float>& samples, WavFormat format,
              std::string& error);
