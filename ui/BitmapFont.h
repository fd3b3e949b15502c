#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>

// 8x8 glyphs from one BMP image, 32 to a row, glyph 0 being '!'. Text is drawn glyph by
// glyph with SDL_RenderCopy, tinted by the texture's colour modulation.
struct BitmapFont {
    static constexpr int cellSize = 8;

    SDL_Texture* texture = nullptr; // null until loaded; stays null if loading failed
    SDL_Renderer* renderer = nullptr; // not owned
    SDL_Rect sourceRect{0, 0, cellSize, cellSize};
    SDL_Rect destRect{0, 0, cellSize, cellSize};
    std::int32_t glyphsPerRow = 32;
    std::int32_t glyphRows = 3;
    std::int32_t charOffset = -33;

    explicit BitmapFont(SDL_Renderer* r) : renderer(r) {}
    ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Loads the glyph image; on any failure the font keeps what it had.
    void loadImage(const char* path);
    void setColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // Draws exactly length characters from (x, y); a NUL or blank leaves an empty cell.
    void drawText(const char* text, std::size_t length, int x, int y);
    // Draws a NUL-terminated text.
    void drawText(const char* text, int x, int y);
};
