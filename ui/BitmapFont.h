#pragma once

#include <SDL.h>

#include <array>
#include <cstddef>
#include <cstdint>

// 8x8 glyphs from one BMP image, 32 to a row, glyph 0 being '!'. Text is drawn glyph by
// glyph with SDL_RenderCopy, tinted by the texture's colour modulation.
struct BitmapFont {
    static constexpr int cellSize = 8;

    SDL_Texture* texture = nullptr;   // null until loaded; stays null if loading failed
    SDL_Renderer* renderer = nullptr; // not owned
    SDL_Rect sourceRect{0, 0, cellSize, cellSize};
    SDL_Rect destRect{0, 0, cellSize, cellSize};
    std::int32_t glyphsPerRow = 32;
    std::int32_t charOffset = -33;

    // For each glyph index 0..127, the box around its lit pixels, relative to its cell
    // (w = 0: nothing lit, or the cell lies outside the image). Worked out when the image
    // is loaded, so that a glyph copy skips the dark margin of its cell.
    std::array<SDL_Rect, 128> glyphBoxes{};

    explicit BitmapFont(SDL_Renderer* r) : renderer(r) {}
    ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Loads the glyph image. On any failure the font keeps what it had and the result is
    // false, with the reason in SDL_GetError.
    bool loadImage(const char* path);
    void setColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // Draws exactly length characters from (x, y); a NUL or blank leaves an empty cell.
    // Only the lit part of each cell is copied: the screens draw on a window cleared to
    // black where no two cells overlap, so the dark rest of a cell would change nothing.
    void drawText(const char* text, std::size_t length, int x, int y);
    // Draws a NUL-terminated text.
    void drawText(const char* text, int x, int y);
};
