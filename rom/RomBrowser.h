#pragma once

#include "ui/Labels.h"
#include <array>
#include <cstdint>

#include <filesystem>
#include <string>
#include <vector>

struct App;

// The ROM selection screen: the ".snd" files of one directory (the working directory unless
// told otherwise), the highlighted entry, and loading the chosen image into the PROM region.
struct RomBrowser {
    std::vector<std::string> fileNames;
    std::int32_t selectedIndex = 0;
    std::string loadedFileName;
    std::int32_t firstShown = 0;     // the entry on the list's top line, for lists that scroll
    std::filesystem::path directory; // listed and loaded from; empty: the working directory
    Labels labels;                   // from the loaded image's listing, when it has one

    // The first bytes of an image (at most the PROM's size) and how many the file held.
    struct Image {
        std::array<std::uint8_t, 2048> bytes{};
        std::size_t length = 0;
    };

    // Lists the entries of the directory whose extension is exactly ".snd".
    void scan();
    // Copies the image into 0xF800..0xFFFF, resets the processor, shows the debugger and
    // resumes audio; reads the labels of the listing beside it. A name (relative to the directory)
    // that cannot be opened or read changes nothing.
    void loadImage(App& app, const std::string& name);
    // Reads an image as a load does. False, with SDL's error set, for anything but a regular
    // file that opens and reads to its end or to the PROM's size.
    static bool readImage(const std::filesystem::path& path, Image& image);
    // One frame of the selection screen: moves the highlight, loads on Return, draws. A list
    // longer than the window scrolls so that the highlighted entry is always wholly shown.
    void frame(App& app);
};
