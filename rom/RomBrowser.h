#pragma once

#include "debug/Labels.h"
#include "rom/RomImage.h"

#include <cstdint>

#include <filesystem>
#include <string>
#include <vector>

struct App;
struct Mc6802;
struct BitmapFont;

// The ROM selection screen: the ".snd" files of one directory (the working directory unless
// told otherwise), the highlighted entry, and loading the chosen image into the PROM region.
struct RomBrowser {
    std::vector<std::string> fileNames;
    std::int32_t selectedIndex = 0;
    std::string loadedFileName;
    std::int32_t firstShown = 0;     // the entry on the list's top line, for lists that scroll
    std::filesystem::path directory; // listed and loaded from; empty: the working directory
    std::filesystem::path listed;    // the absolute directory of the last scan
    std::string listError;           // why the last scan could not list it, if it could not
    Labels labels;                   // from the loaded image's listing, when it has one

    using Image = RomImage;

    // Lists the entries of the directory whose extension is exactly ".snd".
    void scan();
    // Copies the image into 0xF800..0xFFFF, resets the processor, shows the debugger and
    // resumes audio; reads the labels of the listing beside it. A name (relative to the directory)
    // that cannot be opened or read changes nothing: false.
    bool loadImage(App& app, const std::string& name);
    // Reads an image as a load does. False, with SDL's error set, for anything but a regular
    // file that opens and reads to its end or to the PROM's size.
    static bool readImage(const std::filesystem::path& path, Image& image);
    // The load without the App: reads the image (false, nothing changed, when it cannot be
    // read), copies it into the PROM region, reads its listing's labels and resets cpu.
    bool loadInto(Mc6802& cpu, const std::string& name);
    // Moves the highlight by cursorDy, kept on the list; with enter, the name to load.
    const std::string* moveHighlight(std::int32_t cursorDy, bool enter);
    // Home (ends -1) or End (+1) go to the first or last entry, then Page Up (pages -1) and
    // Page Down (+1) move the highlight by the lines the window shows; moveHighlight keeps it
    // on the list.
    void jump(std::int32_t pages, std::int32_t ends);
    // The heading and the visible part of the list, scrolled to show the highlight, with a
    // mark where it goes on above or below the window; for an empty list, the directory.
    void drawList(BitmapFont& font);
    // A path of more than columns bytes cut to its last columns, "..." first, from a '/'.
    static std::string fitPath(const std::string& path, std::size_t columns);
    // One frame of the selection screen: moves the highlight, loads on Return, draws. A list
    // longer than the window scrolls so that the highlighted entry is always wholly shown.
    void frame(App& app);
};
