#include "ui/BitmapFont.h"

#include <algorithm>

namespace {

// The lit-pixel box of every glyph cell of image (any pixel that is not black is lit).
std::array<SDL_Rect, 128> findGlyphBoxes(SDL_Surface* image, int cell, int perRow) {
    std::array<SDL_Rect, 128> boxes{};
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!argb) {
        // The pixels cannot be looked at: copy whole cells.
        boxes.fill(SDL_Rect{0, 0, cell, cell});
        return boxes;
    }
    const auto* pixels = static_cast<const std::uint8_t*>(argb->pixels);
    for (int g = 0; g < static_cast<int>(boxes.size()); ++g) {
        const int left = cell * (g % perRow);
        const int top = cell * (g / perRow);
        int x0 = cell, y0 = cell, x1 = -1, y1 = -1;
        for (int y = 0; y < cell && top + y < argb->h; ++y) {
            const auto* row =
                reinterpret_cast<const std::uint32_t*>(pixels + (top + y) * argb->pitch);
            for (int x = 0; x < cell && left + x < argb->w; ++x) {
                if ((row[left + x] & 0xFFFFFF) == 0) continue;
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
        if (x1 >= 0) boxes[g] = SDL_Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
    }
    SDL_FreeSurface(argb);
    return boxes;
}

// A font image needs 256 x 24 pixels; anything wider or taller than this is refused before
// SDL sees it, since SDL's loader allocates whatever size the header states (a damaged
// 88-byte file can ask for tens of gigabytes).
constexpr std::int64_t maxImageSide = 2048;

std::uint32_t little32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Reads the BMP header at the start of stream and rewinds it. True when the stated width and
// height (negative height: rows top to bottom) are within bounds.
bool plausibleHeader(SDL_RWops* stream) {
    std::uint8_t header[26] = {};
    const bool complete = SDL_RWread(stream, header, sizeof header, 1) == 1;
    if (SDL_RWseek(stream, 0, RW_SEEK_SET) != 0 || !complete) return false;
    if (header[0] != 'B' || header[1] != 'M') return false;
    std::int64_t width = 0;
    std::int64_t height = 0;
    if (little32(header + 14) == 12) { // the old OS/2 header: unsigned 16-bit sizes
        width = header[18] | header[19] << 8;
        height = header[20] | header[21] << 8;
    } else {
        width = static_cast<std::int32_t>(little32(header + 18));
        height = static_cast<std::int32_t>(little32(header + 22));
    }
    if (height < 0) height = -height;
    return width > 0 && width <= maxImageSide && height > 0 && height <= maxImageSide;
}

} // namespace

BitmapFont::~BitmapFont() {
    if (texture) SDL_DestroyTexture(texture);
}

bool BitmapFont::loadImage(const char* path) {
    SDL_RWops* stream = SDL_RWFromFile(path, "rb");
    if (!stream) return false;
    if (!plausibleHeader(stream)) {
        SDL_RWclose(stream);
        SDL_SetError("not a BMP image of at most %d x %d pixels", int(maxImageSide),
                     int(maxImageSide));
        return false;
    }
    SDL_Surface* surface = SDL_LoadBMP_RW(stream, 1); // closes the stream
    if (!surface) return false;
    SDL_Texture* loaded = SDL_CreateTextureFromSurface(renderer, surface);
    if (loaded) {
        if (texture) SDL_DestroyTexture(texture);
        texture = loaded;
        glyphBoxes = findGlyphBoxes(surface, cellSize, glyphsPerRow);
    }
    SDL_FreeSurface(surface);
    return loaded != nullptr;
}

void BitmapFont::setColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (texture) SDL_SetTextureColorMod(texture, red, green, blue);
}

void BitmapFont::drawText(const char* text, std::size_t length, int x, int y) {
    if (!texture) return; // every copy would fail anyway
    for (std::size_t i = 0; i < length; ++i) {
        // Codes 0..32 and 161..255 give a negative glyph, whose cell lies left of or above
        // the image; rows past the image's last lie below it. Either way nothing is copied
        // and the pen moves on.
        const auto g = static_cast<std::int8_t>(
            static_cast<std::uint8_t>(static_cast<unsigned char>(text[i]) + charOffset));
        if (g < 0) continue;
        const SDL_Rect& box = glyphBoxes[static_cast<std::size_t>(g)];
        if (box.w == 0) continue;
        const int column = g % glyphsPerRow;
        const int row = g / glyphsPerRow;
        sourceRect = {cellSize * column + box.x, cellSize * row + box.y, box.w, box.h};
        destRect = {x + cellSize * static_cast<int>(i) + box.x, y + box.y, box.w, box.h};
        SDL_RenderCopy(renderer, texture, &sourceRect, &destRect);
    }
}

void BitmapFont::drawText(const char* text, int x, int y) {
    drawText(text, SDL_strlen(text), x, y);
}
