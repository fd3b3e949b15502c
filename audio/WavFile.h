#pragma once

#include <string>
#include <vector>

enum class WavFormat { Float32, Pcm16 };

// Writes 48 kHz mono samples to a WAV file. The data goes to a temporary file beside the
// target, which is synced and renamed over it only once complete, so a failure or a crash
// never leaves a half-written file. A symbolic link is followed to the file it names, which
// need not exist yet, and stays a link; only a regular file (or a new one) is written, and
// a replaced file keeps its permissions. Returns false with a one-line reason in error.
bool writeWav(const std::string& path, const std::vector<float>& samples, WavFormat format,
              std::string& error);

// True when both paths name the same existing file, directly or through links.
bool sameFile(const std::string& a, const std::string& b);
