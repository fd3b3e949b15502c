#pragma once

#include "ui/BitmapFont.h"
#include "ui/CommandBar.h"
#include "ui/DebugPanel.h"
#include "ui/Scope.h"
#include "ui/StatusLine.h"
#include "ui/Version.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct Labels;
struct Mc6802;

// The debugger screen: window, renderer, font, and the drawing of one frame (hex panels
// tinted by heat, registers, an 80-line listing from PC, titles and key help).
struct DebuggerScreen {
    static constexpr int windowWidth = 740;
    static constexpr int windowHeight = 756;
    static constexpr const char* windowTitle =
        "hummbox v" HUMMBOX_VERSION_SHORT " by Trasolen 2015 - Zorvath sound board emulator";

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    std::unique_ptr<BitmapFont> font;
    std::vector<std::string> fontPaths{"font.bmp"}; // tried in order; the App adds places
    const char* hexDigits = nullptr; // "0123456789ABCDEF", set by the App's construction
    char textBuffer[80]{};
    // Register line templates, filled by init; drawing writes the values over the underscores.
    char registerA[7]{};
    char registerB[7]{};
    char registerX[9]{};
    char registerPC[9]{};
    char registerSP[9]{};
    char registerCC[11]{};
    StatusLine status; // filled by the App each frame, drawn by drawFrame
    DebugPanel panel;  // likewise; its breakpoints are also marked in the listing
    bool helpShown = false;
    bool helpCommands = false;      // the help shows the command line's page, not the keys
    CommandBar commandBar;          // filled by the App each frame
    const Labels* labels = nullptr; // set by the App; the labelled listing reads them
    bool labelled = false;          // N: the listing names addresses by their labels
    Scope scope;                    // fed by the App with the audio output, drawn by drawFrame
    // The views the command line chose: `list ADDR` keeps the listing at an address (-1: at
    // PC), `mem ADDR` shows RAM from a multiple of 16. beforePc, set by the App while a
    // breakpoint or watchpoint holds the processor, starts the listing a few rows ahead of PC.
    std::int32_t listFrom = -1;
    std::uint16_t memoryBase = 0;
    bool beforePc = false;
    static constexpr int rowsBeforePc = 3;

    // The window's scale when it opens: the largest whole number at which the picture fits
    // the usable display area, at least 1.
    static int initialScale(int usableWidth, int usableHeight);

    // Creates the resizable window at initialScale, the renderer (accelerated with vsync,
    // else software) scaling the picture by whole numbers, letterboxed, and the font from
    // the first of fontPaths that loads, and fills the register line templates. Returns
    // false, with SDL's error on stderr, when no window or renderer can be had; without a
    // usable font every place tried is named on stderr, and the screens then show no text.
    bool init();

    // True when SDL fell back to a video driver that shows nothing ("offscreen" or
    // "dummy"), which it does when no display is reachable, unless the user named that
    // driver in requested (SDL_VIDEODRIVER: one name or a comma-separated list).
    static bool showsNothingUnasked(const char* driver, const char* requested);

    // One whole frame into the renderer (the caller presents): panels, registers,
    // listing, fixed texts, status line, debug panel; then, if stopped, lights the instruction at
    // PC in cpu's heat map, and ages every heat entry by one.
    void draw(Mc6802& cpu, std::int32_t editCursor, bool stopped);

    // The drawing half of draw: reads cpu, changes nothing of it.
    void drawFrame(const Mc6802& cpu, std::int32_t editCursor);
    // Scales by whole numbers when the window holds the picture at 1x, else shrinks it;
    // called before each frame, as the window may have been resized.
    void fitToWindow();
    // What lies over a screen, drawn last before presenting: the help, when shown.
    void drawOverlays();
    // F11: fullscreen on the window's display, or back to the window's place and size.
    void toggleFullscreen();
    // The listing's first address: listFrom when set, else PC or a few rows ahead of it.
    std::uint16_t listingStart(const Mc6802& cpu) const;
    SDL_Rect windowedBox{0, 0, 0, 0}; // where the window was before fullscreen
    // The heat half of draw: lighting the instruction at PC when stopped, then ageing.
    static void lightAndAge(Mc6802& cpu, bool stopped);

    void drawHexPanel(const Mc6802& cpu, const std::uint8_t* memory, std::int32_t first,
                      std::int32_t last, int textRow, int bytesPerLine, std::int32_t cursor);

    // Font, then renderer, then window.
    void destroy();
};
