// The font loader on the input as a font.bmp, then text drawn with it: no crash, no leak.
#include "fuzz/FuzzInput.h"
#include "ui/BitmapFont.h"

#include <SDL.h>

#include <cstdlib>
#include <fstream>
#include <string>

static SDL_Renderer* renderer = nullptr;
static std::string fontPath;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    SDL_Window* window = nullptr;
    FUZZ_CHECK(SDL_Init(SDL_INIT_VIDEO) == 0);
    FUZZ_CHECK(SDL_CreateWindowAndRenderer(740, 756, 0, &window, &renderer) == 0);
    char directory[] = "/tmp/hummbox-font-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(directory) != nullptr);
    fontPath = std::string(directory) + "/font.bmp";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FUZZ_CHECK(std::ofstream(fontPath, std::ios::binary)
                   .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)));
    BitmapFont font(renderer);
    font.loadImage(fontPath.c_str());
    font.setColor(255, 128, 0);
    static const char text[] = "!AZaz~\x7f\x80\xa0\xa1\xff \0Select ROM file:";
    font.drawText(text, sizeof text - 1, 0, 0);
    font.drawText(text, sizeof text - 1, 730, 750); // runs off the window's edges
    SDL_RenderClear(renderer);
    return 0;
}
