#include "ui/BitmapFont.h"

BitmapFont::~BitmapFont() {
    if (texture) SDL_DestroyTexture(texture);
}

void BitmapFont::loadImage(const char* path) {
    SDL_RWops* stream = SDL_RWFromFile(path, "rb");
    if (!stream) return;
    SDL_Surface* surface = SDL_LoadBMP_RW(stream, 1); // closes the stream
    if (!surface) return;
    SDL_Texture* loaded = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_FreeSurface(surface);
    if (!loaded) return;
    if (texture) SDL_DestroyTexture(texture);
    texture = loaded;
}

void BitmapFont::setColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (texture) SDL_SetTextureColorMod(texture, red, green, blue);
}

void BitmapFont::drawText(const char* text, std::size_t length, int x, int y) {
    if (!texture) return; // every copy would fail anyway; the pen position does not matter
    destRect.y = y;
    for (std::size_t i = 0; i < length; ++i) {
        // Codes 0..32 and 161..255 give a negative glyph, whose cell lies left of or above
        // the image; rows past the image's last lie below it. Either way nothing is copied.
        const auto g = static_cast<std::int8_t>(
            static_cast<std::uint8_t>(static_cast<unsigned char>(text[i]) + charOffset));
        const int column = g % glyphsPerRow;
        const int row = g / glyphsPerRow;
        sourceRect.x = cellSize * column;
        sourceRect.y = cellSize * row;
        destRect.x = x + cellSize * static_cast<int>(i);
        SDL_RenderCopy(renderer, texture, &sourceRect, &destRect);
    }
}

void BitmapFont::drawText(const char* text, int x, int y) {
    drawText(text, SDL_strlen(text), x, y);
}
