#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The demo ROM images and their assembler listings, as the build left them.
inline std::string romImagePath(const std::string& name) {
    return HUMMBOX_ROM_DIR "/" + name + ".snd";
}
inline std::string romListingPath(const std::string& name) {
    return HUMMBOX_ROM_LISTING_DIR "/" + name + ".lst";
}
// The whole file; empty when it cannot be read.
inline std::vector<std::uint8_t> readRomImage(const std::string& name) {
    std::ifstream in(romImagePath(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
