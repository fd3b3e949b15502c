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

} // namespace

#endif
