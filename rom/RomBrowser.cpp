#include "rom/RomBrowser.h"

#include "cpu/Mc6802.h"
#include "ui/BitmapFont.h"
#include "ui/DebuggerScreen.h"

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
constexpr std::size_t columns = DebuggerScreen::windowWidth / BitmapFont::cellSize;
// The entries wholly in the window; one more shows its upper half below them.
constexpr int linesShown = (DebuggerScreen::windowHeight - listTop) / lineHeight;
// A list longer than the window keeps its last whole line for the mark of what lies below.
constexpr int linesScrolled = linesShown - 1;

// The extension runs from the last '.' to the end; it must be ".snd" byte for byte.
bool hasRomExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && name.compare(dot, std::string::npos, romExtension) == 0;
}

static_assert(RomImage::size == Mc6802::romSize);

} // namespace

void RomBrowser::scan() {
    fileNames.clear();
    listError.clear();

    std::error_code ec;
    listed = std::filesystem::absolute(directory.empty() ? "." : directory, ec).lexically_normal();
    std::filesystem::directory_iterator it(listed, ec);
    // A listing that cannot be opened leaves the list empty; one that fails part-way keeps
    // what it found so far.
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (hasRomExtension(name)) fileNames.push_back(std::move(name));
    }
    if (ec) listError = ec.message();
}

bool RomBrowser::readImage(const std::filesystem::path& path, Image& image) {
    std::string error;
    if (RomImage::read(path, image, error)) return true;
    SDL_SetError("%s", error.c_str());
    return false;
}

bool RomBrowser::loadInto(Mc6802& cpu, const std::string& name) {
    Image image;
    if (!readImage(directory / name, image)) return false;

    // The caller holds the audio thread off (output paused): it is not running the processor.
    loadedFileName = name;
    std::memcpy(cpu.memory + Mc6802::romBase, image.bytes.data(), image.length);
    labels.load((directory / name).string(), cpu.memory + Mc6802::romBase);
    cpu.reset();
    return true;
}

const std::string* RomBrowser::moveHighlight(std::int32_t cursorDy, bool enter) {
    const auto count = static_cast<std::int32_t>(fileNames.size());
    selectedIndex += cursorDy;
    if (selectedIndex < 0) selectedIndex = 0;
    if (selectedIndex >= count) selectedIndex = count - 1;
    // With an empty list there is nothing to load: the screen stays.
    return enter && selectedIndex >= 0 ? &fileNames[static_cast<std::size_t>(selectedIndex)]
                                       : nullptr;
}

void RomBrowser::jump(std::int32_t pages, std::int32_t ends) {
    const auto count = static_cast<std::int32_t>(fileNames.size());
    if (ends != 0) selectedIndex = ends < 0 ? 0 : count - 1;
    selectedIndex += pages * (count > linesShown ? linesScrolled : linesShown);
}

std::string RomBrowser::fitPath(const std::string& path, std::size_t columns) {
    if (path.size() <= columns) return path;
    const std::string tail = path.substr(path.size() - (columns - 3));
    const std::size_t slash = tail.find('/');
    return "..." + (slash == std::string::npos ? tail : tail.substr(slash));
}

void RomBrowser::drawList(BitmapFont& font) {
    font.setColor(255, 255, 255);
    font.drawText(heading, sizeof heading - 1, 0, 0);
    const auto count = static_cast<std::int32_t>(fileNames.size());
    font.setColor(128, 128, 128);
    if (count == 0) {
        const std::string why = listError.empty() ? "No .snd images in this directory:"
                                                  : "Cannot list this directory: " + listError;
        font.drawText(fitPath(why, columns).c_str(), 0, listTop);
        font.drawText(fitPath(listed.string(), columns).c_str(), 0, listTop + lineHeight);
        return;
    }
    // Scroll no further than needed to show the highlighted entry whole, and not past the
    // list's end; a list that fits starts at the top.
    const std::int32_t lines = count > linesShown ? linesScrolled : linesShown;
    firstShown = std::clamp(firstShown, selectedIndex - (lines - 1), selectedIndex);
    firstShown = std::clamp(firstShown, 0, std::max(count - lines, 0));
    for (std::int32_t i = firstShown; i < count && i < firstShown + lines; ++i) {
        if (i == selectedIndex)
            font.setColor(255, 255, 255);
        else
            font.setColor(128, 128, 128);
        const std::string& name = fileNames[static_cast<std::size_t>(i)];
        font.drawText(name.c_str(), SDL_strlen(name.c_str()), 0,
                      listTop + lineHeight * (i - firstShown));
    }
    // The marks: how many entries lie above the window (right of the heading) and below it.
    font.setColor(170, 204, 255);
    const std::int32_t below = count - (firstShown + lines);
    if (firstShown > 0) {
        const std::string above = "^ " + std::to_string(firstShown) + " more above";
        font.drawText(above.c_str(),
                      DebuggerScreen::windowWidth - 8 * static_cast<int>(above.size()) - 4, 0);
    }
    if (below > 0)
        font.drawText(("v " + std::to_string(below) + " more below").c_str(), 0,
                      listTop + lineHeight * lines);
}
