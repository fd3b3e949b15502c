#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// The first bytes of a ROM image file (at most the PROM's 2,048) and how many it held: the
// one reader of images for the program and hummbox-render.
struct RomImage {
    static constexpr std::size_t size = 2048;

    std::array<std::uint8_t, size> bytes{};
    std::size_t length = 0;

    bool complete() const { return length == size; }
    // Reads as a ROM load does. False, with the reason in error, for anything but a regular
    // file (or a link to one) that opens and reads to its end or to the PROM's size: a FIFO
    // would block until something wrote to it, and a device may never end.
    static bool read(const std::filesystem::path& path, RomImage& image, std::string& error);
};
