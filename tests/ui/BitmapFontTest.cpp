#include "tests/ui/ScreenFixture.h"

#include <algorithm>
#include <fstream>

using namespace screen_test;

namespace {

class BitmapFontTest : public ScreenFixture {
  protected:
    BitmapFont& font() { return *screen.font; }
};

struct GlyphCase {
    int code;
    int glyph; // expected glyph index, or -1 for an empty cell
};

TEST_F(BitmapFontTest, CharacterCodesPickTheirCellOfTheImage) {
    const GlyphCase cases[] = {
        {'!', 0},  {'"', 1},  {'0', 15}, {'@', 31}, {'A', 32}, {'_', 62}, {'`', 63},
        {'a', 64}, {'~', 93}, {127, 94}, {128, 95}, {0, -1},   {' ', -1}, {1, -1},
        {129, -1}, {160, -1}, {161, -1}, {200, -1}, {255, -1},
    };
    for (const GlyphCase& c : cases) {
        clear();
        const char text = static_cast<char>(c.code);
        font().setColor(255, 255, 255);
        font().drawText(&text, 1, 100, 100);
        const Frame f = frame();
        if (c.glyph < 0) {
            EXPECT_TRUE(f.blank(100, 100)) << "code " << c.code;
        } else {
            // The glyph index the cell shows identifies the image cell it was copied from:
            // '!' from (0, 0), '~' from (232, 16), code 128 from (248, 16).
            EXPECT_EQ(f.charAt(100, 100), static_cast<char>(c.glyph + 33)) << "code " << c.code;
        }
    }
}

TEST_F(BitmapFontTest, DrawsExactlyTheGivenLengthAndNulLeavesAnEmptyCell) {
    const char text[] = {'A', '\0', 'B', ' ', 'C', 'D'};
    font().drawText(text, 5, 16, 24);
    const Frame f = frame();
    EXPECT_EQ(f.text(16, 24, 6), "A B C ");
    EXPECT_TRUE(f.blank(8, 24)); // nothing before the pen's start

    clear();
    font().drawText("XYZ", 0, 16, 24);
    EXPECT_TRUE(frame().blank(16, 24));
}

TEST_F(BitmapFontTest, NulTerminatedTextIsDrawnToItsEnd) {
    font().drawText("Hex 0F", 40, 300);
    EXPECT_EQ(frame().text(40, 300, 7), "Hex 0F ");
}

TEST_F(BitmapFontTest, ColourModulationTintsEveryLaterGlyph) {
    font().setColor(10, 20, 30);
    font().drawText("ab", 0, 0);
    font().drawText("c", 0, 8);
    font().setColor(255, 100, 100);
    font().drawText("d", 0, 16);
    const Frame f = frame();
    EXPECT_EQ(f.colour(0, 0), rgb(10, 20, 30));
    EXPECT_EQ(f.colour(8, 0), rgb(10, 20, 30));
    EXPECT_EQ(f.colour(0, 8), rgb(10, 20, 30));
    EXPECT_EQ(f.colour(0, 16), rgb(255, 100, 100));
}

TEST(BitmapFontFiles, MissingOrBrokenImageLeavesTheFontWithoutTexture) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    SDL_Window* window = SDL_CreateWindow("t", 0, 0, 64, 64, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    ASSERT_NE(renderer, nullptr);

    const std::string garbage = tempPath("garbage.bmp");
    std::ofstream(garbage, std::ios::binary) << "BM this is not a bitmap at all";
    const std::string empty = tempPath("empty.bmp");
    std::ofstream(empty, std::ios::binary).flush();
    // A real header that promises far more pixels than the file holds.
    const std::string truncated = tempPath("truncated.bmp");
    {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 256, 24, 24, SDL_PIXELFORMAT_RGB24);
        SDL_SaveBMP(s, truncated.c_str());
        SDL_FreeSurface(s);
        std::ifstream in(truncated, std::ios::binary);
        std::string head(80, '\0');
        in.read(head.data(), 80);
        in.close();
        std::ofstream(truncated, std::ios::binary | std::ios::trunc) << head;
    }
    // Headers that state huge sizes: a damaged one (SDL's loader alone would ask for 32 GiB)
    // and a run-length-coded 3000 x 3000 image that SDL would decode in full.
    const std::string huge = tempPath("huge.bmp");
    {
        char header[88] = "BMV\0\0\3\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\4\0\0\0\xfe\xff\xff\xff\1\0"
                          "\x20\0\0\0\0\0\x20\0\0\0";
        std::fill(header + 40, header + 88, '\xff');
        std::ofstream(huge, std::ios::binary).write(header, sizeof header);
    }
    const std::string largeRle = tempPath("large_rle.bmp");
    {
        const char info[] = "BM\x4a\0\0\0\0\0\0\0\x3e\0\0\0\x28\0\0\0\xb8\x0b\0\0\xb8\x0b\0\0"
                            "\1\0\x08\0\1\0\0\0\x0c\0\0\0\x13\x0b\0\0\x13\x0b\0\0\2\0\0\0\2\0\0\0"
                            "\0\0\0\0\xff\xff\xff\0\x40\1\0\0\0\1\0\0";
        std::ofstream(largeRle, std::ios::binary).write(info, sizeof info - 1);
    }
    const std::string good = writeTestFont();

    for (const std::string& path : {std::string("/nonexistent/font.bmp"), testing::TempDir(),
                                    garbage, empty, truncated, huge, largeRle}) {
        BitmapFont font(renderer);
        font.loadImage(path.c_str());
        EXPECT_EQ(font.texture, nullptr) << path;
        EXPECT_EQ(font.charOffset, -33);
        font.setColor(255, 255, 255);
        font.drawText("no glyphs", 0, 0); // draws nothing, fails nothing
        Frame f(renderer);
        EXPECT_TRUE(f.blank(0, 0)) << path;
    }

    // A failed load keeps the image loaded before.
    BitmapFont font(renderer);
    font.loadImage(good.c_str());
    SDL_Texture* loaded = font.texture;
    ASSERT_NE(loaded, nullptr);
    font.loadImage(garbage.c_str());
    EXPECT_EQ(font.texture, loaded);
    font.drawText("!", 8, 8);
    EXPECT_EQ(Frame(renderer).charAt(8, 8), '!');

    for (const std::string& path : {garbage, empty, truncated, huge, largeRle, good})
        std::remove(path.c_str());
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
}

} // namespace
