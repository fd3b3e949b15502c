#pragma once

#include <string>
#include <vector>

enum class WavFormat { Float32, Pcm16 };

// Writes 48 kHz mono samples to a WAV file, through a ReplacingFile: complete or not at all,
// only over a regular file, links followed. Returns false with a one-line reason in error.
bool writeWav(const std::string& path, const std::vector<float>& samples, WavFormat format,
              std::string& error);

// True when both paths name the same existing file, directly or through links.
bool sameFile(const std::string& a, const std::string& b);
