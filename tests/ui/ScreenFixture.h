#pragma once

#include "ui/DebuggerScreen.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

// Headless drawing for tests: the dummy video driver, the software renderer, and a test
// font whose glyphs can be read back from the pixels.
//
// In the test font every glyph cell is lit except part of its top row, which spells the
// glyph's index in binary (pixel i lit when bit i is set). So a drawn cell shows its
// colour in rows 1-7 and its character in row 0, and an empty cell is all black.
namespace screen_test {

inline std::uint32_t rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

inline std::string tempPath(const std::string& name) {
    return testing::TempDir() + "hummbox_" + std::to_string(getpid()) + "_" + name;
}

// Writes the readable test font (256x24, 96 glyphs) as a BMP file and returns its path.
inline std::string writeTestFont() {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 256, 24, 24, SDL_PIXELFORMAT_RGB24);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 255, 255));
    const Uint32 black = SDL_MapRGB(s->format, 0, 0, 0);
    for (int g = 0; g < 96; ++g) {
        for (int bit = 0; bit < 8; ++bit) {
            if (bit < 7 && (g >> bit & 1)) continue;
            SDL_Rect dot{8 * (g % 32) + bit, 8 * (g / 32), 1, 1};
            SDL_FillRect(s, &dot, black);
        }
    }
    const std::string path = tempPath("testfont.bmp");
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    return path;
}

// One read-back frame of the whole window.
struct Frame {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

    explicit Frame(SDL_Renderer* renderer) {
        SDL_GetRendererOutputSize(renderer, &width, &height);
        pixels.resize(static_cast<std::size_t>(width) * height);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4);
    }
    std::uint32_t at(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }
    bool blank(int x, int y) const {
        for (int dy = 0; dy < 8; ++dy)
            for (int dx = 0; dx < 8; ++dx)
                if (at(x + dx, y + dy) != 0) return false;
        return true;
    }
    // The colour of the cell at (x, y), taken from its lit lower rows; 0 when empty.
    std::uint32_t colour(int x, int y) const { return at(x + 4, y + 4); }
    // The character in the cell at (x, y): ' ' for an empty cell, '\x01' for a cell that is
    // neither empty nor a test font glyph in one colour.
    char charAt(int x, int y) const {
        if (blank(x, y)) return ' ';
        const std::uint32_t c = colour(x, y);
        for (int dy = 1; dy < 8; ++dy)
            for (int dx = 0; dx < 8; ++dx)
                if (at(x + dx, y + dy) != c) return '\x01';
        int g = 0;
        for (int bit = 0; bit < 7; ++bit)
            if (at(x + bit, y) == c) g |= 1 << bit;
        return static_cast<char>(g + 33);
    }
    std::string text(int x, int y, int length) const {
        std::string s;
        for (int i = 0; i < length; ++i)
            s += charAt(x + 8 * i, y);
        return s;
    }
};

// A DebuggerScreen set up by its own init, with the test font in place of font.bmp.
class ScreenFixture : public testing::Test {
  protected:
    DebuggerScreen screen;
    std::string fontPath;

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(screen.init());
        fontPath = writeTestFont();
        screen.font->loadImage(fontPath.c_str());
        ASSERT_NE(screen.font->texture, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        screen.destroy();
        std::remove(fontPath.c_str());
        SDL_Quit();
    }
    Frame frame() { return Frame(screen.renderer); }
    void clear() { SDL_RenderClear(screen.renderer); }
};

} // namespace screen_test
