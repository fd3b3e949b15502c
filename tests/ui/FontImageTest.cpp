#include "tests/ui/ScreenFixture.h"
#include "ui/BitmapFont.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#ifdef HUMMBOX_FONT_BMP

namespace {

// The font.bmp that the build draws from tools/font/glyphs.txt.
TEST(FontImage, HoldsOneDistinctLightOnDarkGlyphPerPrintableCharacter) {
    SDL_Surface* loaded = SDL_LoadBMP(HUMMBOX_FONT_BMP);
    ASSERT_NE(loaded, nullptr) << SDL_GetError();
    SDL_Surface* image = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->w, 256);
    EXPECT_EQ(image->h, 24);

    auto pixel = [&](int x, int y) {
        const auto* row = static_cast<const std::uint8_t*>(image->pixels) + y * image->pitch;
        return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    };
    std::set<std::string> shapes;
    for (int g = 0; g < 96; ++g) {
        std::string shape;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const std::uint32_t p = pixel(8 * (g % 32) + x, 8 * (g / 32) + y);
                ASSERT_TRUE(p == 0 || p == 0xFFFFFF) << "glyph " << g;
                shape += p ? '#' : '.';
            }
        const int c = g + 33;
        if (c <= '~') {
            EXPECT_NE(shape.find('#'), std::string::npos) << "code " << c << " is empty";
            EXPECT_TRUE(shapes.insert(shape).second) << "code " << c << " repeats another glyph";
        }
    }
    SDL_FreeSurface(image);
}

// Drawn in white on a black window, every character shows exactly its cell of the image.
TEST(FontImage, DrawnGlyphsMatchTheImagePixelForPixel) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    SDL_Window* window = SDL_CreateWindow("t", 0, 0, 800, 40, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    ASSERT_NE(renderer, nullptr);
    SDL_Surface* loaded = SDL_LoadBMP(HUMMBOX_FONT_BMP);
    ASSERT_NE(loaded, nullptr);
    SDL_Surface* image = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);

    BitmapFont font(renderer);
    font.loadImage(HUMMBOX_FONT_BMP);
    ASSERT_NE(font.texture, nullptr);
    std::string all;
    for (int c = 33; c <= 128; ++c)
        all += static_cast<char>(c);
    font.drawText(all.data(), 48, 0, 8);       // '!' .. 'P'
    font.drawText(all.data() + 48, 48, 0, 24); // 'Q' .. code 128
    const screen_test::Frame f(renderer);
    for (int g = 0; g < 96; ++g) {
        const int wx = 8 * (g % 48), wy = g < 48 ? 8 : 24;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const auto* row = static_cast<const std::uint8_t*>(image->pixels) +
                                  (8 * (g / 32) + y) * image->pitch;
                const std::uint32_t expected =
                    reinterpret_cast<const std::uint32_t*>(row)[8 * (g % 32) + x] & 0xFFFFFF;
                ASSERT_EQ(f.at(wx + x, wy + y), expected)
                    << "glyph " << g << " at " << x << "," << y;
            }
    }
    SDL_FreeSurface(image);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
}

} // namespace

#endif
