#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct App;

// The ROM selection screen: the ".snd" files of the working directory, the highlighted
// entry, and loading the chosen image into the PROM region.
struct RomBrowser {
    std::vector<std::string> fileNames;
    std::int32_t selectedIndex = 0;
    std::string loadedFileName;
    std::int32_t firstShown = 0; // the entry on the list's top line, for lists that scroll

    // Lists the entries of the working directory whose extension is exactly ".snd".
    void scan();
    // Copies the image into 0xF800..0xFFFF, resets the processor, shows the debugger and
    // resumes audio. A name that cannot be opened or read changes nothing.
    void loadImage(App& app, const std::string& name);
    // One frame of the selection screen: moves the highlight, loads on Return, draws. A list
    // longer than the window scrolls so that the highlighted entry is always wholly shown.
    void frame(App& app);
};
