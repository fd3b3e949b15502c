#include "ui/DebuggerScreen.h"

#include "cpu/HeatMap.h"
#include "cpu/Mc6802.h"
#include "debug/Labels.h"
#include "ui/HelpOverlay.h"
#include "ui/Listing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct Colour {
    std::uint8_t r, g, b;
};

constexpr Colour addressColour{63, 175, 63};
constexpr Colour cursorDigitColour{255, 255, 170};
constexpr Colour cursorOtherColour{204, 153, 153};
constexpr Colour white{255, 255, 255};
constexpr Colour titleColour{255, 100, 100};
constexpr Colour statusColour{170, 204, 255};
constexpr Colour breakColour{255, 170, 80}; // breakpoints in the listing, the stop reason

constexpr int listingLines = 80;
constexpr int listingY = 56;
constexpr int listingAddressX = 590;
constexpr int listingMarkX = 622;   // the first of the two blank cells after the address
constexpr int listingPcMarkX = 630; // the second: PC's row when the listing does not start there
constexpr int listingTitleY = 48;   // between the register header and the listing
constexpr int memoryNoteX = 112;    // after "MC6802 Memory", left of the debug panel
constexpr std::size_t memoryNoteLength = (330 - memoryNoteX) / 8;
constexpr int listingTextX = 638;
constexpr int listingTextLength = 11;
constexpr std::size_t labelledTextLength = (DebuggerScreen::windowWidth - listingTextX) / 8;
constexpr std::size_t labelLineLength = (DebuggerScreen::windowWidth - listingAddressX) / 8;
constexpr int registerPanelX = 490;

struct FixedText {
    int x, y;
    const char* text;
};

// Titles and key help, drawn in this order.
constexpr FixedText fixedTexts[] = {
    {0, 6, "MC6802 Memory"},
    {0, 150, "MC6821 Peripheral Interface Adapter"},
    {0, 174, "Harris 7641 PROM (2048 bytes)"},
    {330, 128, "Memory Edit"},
    {330, 136, "-----------"},
    {330, 144, "Arrows - Move cursor"},
    {330, 152, "0-9A-F - Hex input"},
    {330, 160, "- / =  - Dec/inc value"},
    {330, 168, "Tab    - CPU / PIA"},
    {490, 32, "                        MC6802"},
    {490, 40, "------------------------------"},
    {0, 710, "Emulation"},
    {0, 718, "----------------------------------------"},
    {0, 726, "Space  - Step      I - Trigger interrupt"},
    {0, 734, "P      - Run/stop  R - Reset"},
    {0, 742, "Esc    - Quit      L - Load .snd ROM from file"},
};

void setColour(BitmapFont& font, Colour c) {
    font.setColor(c.r, c.g, c.b);
}

// Writes the digits of value, most significant first, over count characters at out.
void putHex(const char* digits, char* out, unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        out[i] = digits[value & 0xF];
        value >>= 4;
    }
}

} // namespace

bool DebuggerScreen::showsNothingUnasked(const char* driver, const char* requested) {
    if (driver == nullptr) return false;
    if (SDL_strcasecmp(driver, "offscreen") != 0 && SDL_strcasecmp(driver, "dummy") != 0)
        return false;
    if (requested == nullptr) return true;
    const std::size_t length = SDL_strlen(driver);
    for (const char* item = requested; *item != '\0';) {
        const char* end = SDL_strchr(item, ',');
        const std::size_t itemLength =
            end ? static_cast<std::size_t>(end - item) : SDL_strlen(item);
        if (itemLength == length && SDL_strncasecmp(item, driver, length) == 0) return false;
        if (!end) break;
        item = end + 1;
    }
    return true;
}

bool DebuggerScreen::init() {
    // Without any display SDL quietly picks its offscreen driver: the program would run
    // with a window nobody can see or close.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (showsNothingUnasked(driver, SDL_GetHint(SDL_HINT_VIDEODRIVER))) {
        std::fprintf(stderr,
                     "hummbox: no display found (SDL could only offer its '%s' video driver, "
                     "which shows nothing); set DISPLAY or WAYLAND_DISPLAY\n",
                     driver);
        return false;
    }
    SDL_Rect usable{0, 0, 0, 0};
    const int scale =
        SDL_GetDisplayUsableBounds(0, &usable) == 0 ? initialScale(usable.w, usable.h) : 1;
    const int position = scale == 1 ? 30 : static_cast<int>(SDL_WINDOWPOS_CENTERED);
    window = SDL_CreateWindow(windowTitle, position, position, windowWidth * scale,
                              windowHeight * scale, SDL_WINDOW_RESIZABLE);
    if (!window) {
        std::fprintf(stderr, "hummbox: cannot create the window: %s\n", SDL_GetError());
        return false;
    }
    // A frame is some 6,000 glyph copies: let SDL queue them up to the present even when a
    // render driver has been named (naming one turns queueing off by default).
    SDL_SetHintWithPriority(SDL_HINT_RENDER_BATCHING, "1", SDL_HINT_DEFAULT);
    // Scaled 8-pixel text stays crisp only with nearest-neighbour sampling.
    SDL_SetHintWithPriority(SDL_HINT_RENDER_SCALE_QUALITY, "nearest", SDL_HINT_DEFAULT);
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    // Without a GPU driver there is no accelerated renderer; the software one still works.
    if (!renderer)
        renderer =
            SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer) {
        std::fprintf(stderr, "hummbox: cannot create a renderer: %s\n", SDL_GetError());
        return false;
    }
    // The picture is always 740 x 756; SDL scales it to the window and centres it.
    SDL_RenderSetLogicalSize(renderer, windowWidth, windowHeight);
    fitToWindow();
    font = std::make_unique<BitmapFont>(renderer);
    std::string tried;
    for (const std::string& path : fontPaths) {
        if (font->loadImage(path.c_str())) break;
        tried += (tried.empty() ? "" : ", ") + path + " (" + SDL_GetError() + ")";
    }
    if (!font->texture)
        std::fprintf(stderr, "hummbox: cannot use a font: %s; the screens will show no text\n",
                     tried.c_str());

    std::memcpy(registerA, " A: __", sizeof registerA);
    std::memcpy(registerB, " B: __", sizeof registerB);
    std::memcpy(registerX, " X: ____", sizeof registerX);
    std::memcpy(registerPC, "PC: ____", sizeof registerPC);
    std::memcpy(registerSP, "SP: ____", sizeof registerSP);
    std::memcpy(registerCC, "CC: ______", sizeof registerCC);
    return true;
}

int DebuggerScreen::initialScale(int usableWidth, int usableHeight) {
    return std::max(1, std::min(usableWidth / windowWidth, usableHeight / windowHeight));
}

void DebuggerScreen::fitToWindow() {
    // Whole-number factors keep every text pixel square; in a window smaller than the
    // picture SDL would keep 1x and show only the (mostly empty) middle, so shrink instead.
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(renderer, &width, &height);
    const SDL_bool whole = width >= windowWidth && height >= windowHeight ? SDL_TRUE : SDL_FALSE;
    if (SDL_RenderGetIntegerScale(renderer) != whole) SDL_RenderSetIntegerScale(renderer, whole);
}

void DebuggerScreen::drawOverlays() {
    if (helpShown) HelpOverlay::draw(renderer, *font, helpCommands);
}

void DebuggerScreen::toggleFullscreen() {
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowSize(window, windowedBox.w, windowedBox.h);
        SDL_SetWindowPosition(window, windowedBox.x, windowedBox.y);
        return;
    }
    // Fullscreen is the window manager's to do; without one the window keeps its place and
    // size while SDL takes it for the display's, and the picture is drawn offset and cut
    // off. Put over the display first, the window is what SDL takes it for either way.
    SDL_GetWindowPosition(window, &windowedBox.x, &windowedBox.y);
    SDL_GetWindowSize(window, &windowedBox.w, &windowedBox.h);
    SDL_Rect display{0, 0, 0, 0};
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &display) == 0) {
        SDL_SetWindowPosition(window, display.x, display.y);
        SDL_SetWindowSize(window, display.w, display.h);
    }
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void DebuggerScreen::draw(Mc6802& cpu, std::int32_t editCursor, bool stopped) {
    drawFrame(cpu, editCursor);
    lightAndAge(cpu, stopped);
}

void DebuggerScreen::drawFrame(const Mc6802& cpu, std::int32_t editCursor) {
    SDL_RenderClear(renderer);
    drawHexPanel(cpu, cpu.memory, memoryBase, memoryBase + 0xFF, 2, 16, editCursor);
    drawHexPanel(cpu, cpu.memory, 0x0400, 0x0408, 20, 16, editCursor);
    drawHexPanel(cpu, cpu.memory, 0xF800, 0xFFFF, 23, 32, -1);

    // Registers.
    setColour(*font, white);
    putHex(hexDigits, registerA + 4, cpu.A, 2);
    putHex(hexDigits, registerB + 4, cpu.B, 2);
    putHex(hexDigits, registerX + 4, cpu.X, 4);
    putHex(hexDigits, registerPC + 4, cpu.PC, 4);
    putHex(hexDigits, registerSP + 4, cpu.SP, 4);
    static constexpr char flagLetters[] = "CVZNIH"; // CC bits 0 to 5
    for (int bit = 0; bit < 6; ++bit)
        registerCC[4 + bit] = (cpu.CC >> bit) & 1 ? flagLetters[bit] : '.';
    font->drawText(registerA, 6, registerPanelX, 60);
    font->drawText(registerB, 6, registerPanelX, 68);
    font->drawText(registerX, 8, registerPanelX, 76);
    font->drawText(registerPC, 8, registerPanelX, 84);
    font->drawText(registerSP, 8, registerPanelX, 92);
    font->drawText(registerCC, 10, registerPanelX, 100);

    // Listing from PC, darkening downward, running on across 0xFFFF.
    const bool named = labelled && labels != nullptr && !labels->empty();
    const std::string* pendingLabel = nullptr; // drawn on its own line, then its instruction
    std::uint16_t address = listingStart(cpu);
    const bool markPc = address != cpu.PC;
    for (int k = 0; k < listingLines; ++k) {
        const int y = listingY + 8 * k;
        if (named && pendingLabel == nullptr && (pendingLabel = labels->nameAt(address))) {
            const auto green = static_cast<std::uint8_t>(63 - k / 2);
            font->setColor(green, static_cast<std::uint8_t>(175 - k), green);
            const std::string line = *pendingLabel + ':';
            font->drawText(line.c_str(), std::min<std::size_t>(line.size(), labelLineLength),
                           listingAddressX, y);
            continue;
        }
        pendingLabel = nullptr;
        putHex(hexDigits, textBuffer, address, 4);
        if (panel.debug.isBreakpoint(address)) {
            setColour(*font, breakColour);
            font->drawText("*", 1, listingMarkX, y);
        } else {
            const auto green = static_cast<std::uint8_t>(63 - k / 2);
            font->setColor(green, static_cast<std::uint8_t>(175 - k), green);
        }
        font->drawText(textBuffer, 4, listingAddressX, y);
        if (markPc && address == cpu.PC) font->drawText(">", 1, listingPcMarkX, y);

        address =
            Listing::row(cpu, named ? labels : nullptr, address, textBuffer, labelledTextLength);
        const auto grey = static_cast<std::uint8_t>(255 - 2 * k);
        font->setColor(grey, grey, grey);
        if (named)
            font->drawText(textBuffer, std::strlen(textBuffer), listingTextX, y);
        else
            font->drawText(textBuffer, listingTextLength, listingTextX, y);
    }
    setColour(*font, statusColour);
    if (listFrom >= 0) {
        char title[24];
        std::snprintf(title, sizeof title, "listing from %04X", static_cast<unsigned>(listFrom));
        font->drawText(title, listingAddressX, listingTitleY);
    }
    if (memoryBase != 0) {
        char note[32];
        const unsigned last = memoryBase + 0xFFu;
        if (memoryBase > Mc6802::writeWindowLast)
            std::snprintf(note, sizeof note, "%04X-%04X read-only", memoryBase, last);
        else if (last > Mc6802::writeWindowLast)
            std::snprintf(note, sizeof note, "%04X-%04X edits to %04X", memoryBase, last,
                          Mc6802::writeWindowLast);
        else
            std::snprintf(note, sizeof note, "%04X-%04X", memoryBase, last);
        font->drawText(note, std::min(std::strlen(note), memoryNoteLength), memoryNoteX, 6);
    }

    setColour(*font, titleColour);
    for (const FixedText& t : fixedTexts)
        font->drawText(t.text, t.x, t.y);

    setColour(*font, statusColour);
    char row[StatusLine::columns + 1];
    for (int r = 0; r < StatusLine::rows; ++r) {
        status.format(r, row);
        font->drawText(row, StatusLine::columns, StatusLine::x, 8 * r);
    }
    char panelRow[DebugPanel::columns + 1];
    for (int r = 0; r < DebugPanel::rows; ++r) {
        panel.format(r, panelRow);
        setColour(*font, r == DebugPanel::stopRow ? breakColour : statusColour);
        font->drawText(panelRow, DebugPanel::columns, DebugPanel::x, 8 * r);
    }
    char bar[CommandBar::columns + 1];
    int answerAt = 0;
    commandBar.format(bar, answerAt);
    setColour(*font, commandBar.open ? white : statusColour);
    font->drawText(bar, static_cast<std::size_t>(answerAt), CommandBar::x, CommandBar::y);
    setColour(*font, commandBar.failed ? breakColour : white);
    font->drawText(bar + answerAt, static_cast<std::size_t>(CommandBar::columns - answerAt),
                   CommandBar::x + 8 * answerAt, CommandBar::y);
    scope.draw(renderer);
}

std::uint16_t DebuggerScreen::listingStart(const Mc6802& cpu) const {
    if (listFrom >= 0) return static_cast<std::uint16_t>(listFrom);
    if (!beforePc) return cpu.PC;
    const bool named = labelled && labels != nullptr && !labels->empty();
    return Listing::startBefore(cpu, labels, named, cpu.PC, rowsBeforePc);
}

void DebuggerScreen::lightAndAge(Mc6802& cpu, bool stopped) {
    std::uint32_t* heat = cpu.heat;
    if (stopped) {
        char text[12]; // the disassembler needs somewhere to write; only the length counts
        const std::uint16_t pc = cpu.PC;
        const auto next = static_cast<std::uint16_t>(cpu.disassemble(pc, text));
        // An instruction running past 0xFFFF (next <= PC) is not lit.
        for (std::uint32_t a = pc; a < next; ++a)
            HeatMap::bump(heat[a]);
    }
    for (std::size_t a = 0; a < HeatMap::size; ++a)
        HeatMap::cool(heat[a]);
}

void DebuggerScreen::drawHexPanel(const Mc6802& cpu, const std::uint8_t* memory, std::int32_t first,
                                  std::int32_t last, int textRow, int bytesPerLine,
                                  std::int32_t cursor) {
    const std::uint32_t* heat = cpu.heat;
    char digits[4];
    const std::int32_t cursorAddress = cursor >= 0 ? cursor / 2 : -1;
    for (int n = 0;; ++n) {
        const std::int32_t r = first + n * bytesPerLine;
        if (r > last) break;
        const int y = 8 * textRow + 8 * n;
        setColour(*font, addressColour);
        putHex(hexDigits, digits, static_cast<unsigned>(r), 4);
        font->drawText(digits, 4, 0, y);

        for (int c = 0; c < bytesPerLine; ++c) {
            const std::int32_t a = (r + c) & 0xFFFF;
            const int x = 60 + 16 * c;
            putHex(hexDigits, digits, memory[a], 2);
            if (a == cursorAddress) {
                const bool highSelected = (cursor & 1) == 0;
                setColour(*font, highSelected ? cursorDigitColour : cursorOtherColour);
                font->drawText(digits, 1, x, y);
                setColour(*font, highSelected ? cursorOtherColour : cursorDigitColour);
                font->drawText(digits + 1, 1, x + 8, y);
            } else {
                const std::uint32_t h = std::min(heat[a], HeatMap::max);
                const auto level = static_cast<std::uint8_t>(128 + h * 127 / 100);
                font->setColor(level, level, level);
                font->drawText(digits, 2, x, y);
            }
        }
    }
}

void DebuggerScreen::destroy() {
    font.reset(); // destroys the texture
    if (renderer) SDL_DestroyRenderer(renderer);
    renderer = nullptr;
    if (window) SDL_DestroyWindow(window);
    window = nullptr;
}
