#include "rom/RomBrowser.h"

#include "app/App.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr char romExtension[] = ".snd";
constexpr char heading[] = "Select ROM file:";
constexpr int listTop = 16;
constexpr int lineHeight = 8;
// The entries wholly in the window; one more shows its upper half below them.
constexpr int linesShown = (DebuggerScreen::windowHeight - listTop) / lineHeight;

// The extension runs from the last '.' to the end; it must be ".snd" byte for byte.
bool hasRomExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && name.compare(dot, std::string::npos, romExtension) == 0;
}

} // namespace

void RomBrowser::scan() {
    fileNames.clear();

    std::error_code ec;
    const std::filesystem::path listed =
        std::filesystem::absolute(directory.empty() ? "." : directory, ec);
    if (ec) return;
    std::filesystem::directory_iterator it(listed, ec);
    // A listing that cannot be opened leaves the list empty; one that fails part-way keeps
    // what it found so far.
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (hasRomExtension(name)) fileNames.push_back(std::move(name));
    }
}

bool RomBrowser::readImage(const std::filesystem::path& path, Image& image) {
    static_assert(sizeof image.bytes == Mc6802::romSize);
    image.length = 0;
    // Only regular files (or links to them) are images: opening a FIFO would block until
    // something wrote to it, and a device may never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        SDL_SetError("not a regular file");
        return false;
    }
    SDL_RWops* stream = SDL_RWFromFile(path.c_str(), "rb");
    if (stream == nullptr) return false;
    // SDL_RWread gives 0 both at the end of the file and on an error (a directory opens
    // fine on Linux and only fails to read); the error text tells them apart.
    SDL_ClearError();
    while (image.length < image.bytes.size()) {
        const std::size_t got = SDL_RWread(stream, image.bytes.data() + image.length, 1,
                                           image.bytes.size() - image.length);
        if (got == 0) break;
        image.length += got;
    }
    const bool failed = SDL_GetError()[0] != '\0';
    SDL_RWclose(stream);
    return !failed;
}

void RomBrowser::loadImage(App& app, const std::string& name) {
    Image image;
    if (!readImage(directory / name, image)) return;

    // Audio output is paused here, so the audio thread is not running the processor.
    loadedFileName = name;
    std::memcpy(app.cpu.memory + Mc6802::romBase, image.bytes.data(), image.length);
    labels.load((directory / name).string(), app.cpu.memory + Mc6802::romBase);
    app.cpu.reset();
    app.audio.debugger.processorReset();
    app.mode = App::modeDebugger;
    SDL_PauseAudio(0);
}

void RomBrowser::frame(App& app) {
    BitmapFont& font = *app.screen.font;
    SDL_RenderClear(app.screen.renderer);
    font.setColor(255, 255, 255);
    font.drawText(heading, sizeof heading - 1, 0, 0);

    const auto count = static_cast<std::int32_t>(fileNames.size());
    selectedIndex += app.control.cursorDy;
    if (selectedIndex < 0) selectedIndex = 0;
    if (selectedIndex >= count) selectedIndex = count - 1;

    // With an empty list there is nothing to load: the screen stays.
    if (app.control.enter && selectedIndex >= 0)
        loadImage(app, fileNames[static_cast<std::size_t>(selectedIndex)]);

    // Scroll no further than needed to show the highlighted entry whole, and not past the
    // list's end; a list that fits starts at the top.
    firstShown = std::clamp(firstShown, selectedIndex - (linesShown - 1), selectedIndex);
    firstShown = std::clamp(firstShown, 0, std::max(count - linesShown, 0));
    for (std::int32_t i = firstShown; i < count && i <= firstShown + linesShown; ++i) {
        if (i == selectedIndex)
            font.setColor(255, 255, 255);
        else
            font.setColor(128, 128, 128);
        const std::string& name = fileNames[static_cast<std::size_t>(i)];
        font.drawText(name.c_str(), SDL_strlen(name.c_str()), 0,
                      listTop + lineHeight * (i - firstShown));
    }
    app.screen.drawOverlays();
    SDL_RenderPresent(app.screen.renderer);
}
