#pragma once

#include <string>

// The SHA-256 of a whole file in lower-case hexadecimal, as sha256sum prints it; false with
// a one-line reason in error when the file cannot be read.
bool sha256OfFile(const std::string& path, std::string& hex, std::string& error);
