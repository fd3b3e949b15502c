// Fuzzes the font loader: the input is written as "font.bmp" in a private directory and
// loaded, then text is drawn with whatever came of it. Nothing may crash or leak, and a
// failed load leaves the font without a texture, drawing nothing.
#include "fuzz/FuzzInput.h"
#include "ui/BitmapFont.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
std::string fontPath;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    FUZZ_CHECK(SDL_Init(SDL_INIT_VIDEO) == 0);
    window = SDL_CreateWindow("font fuzz", 0, 0, 740, 756, 0);
    FUZZ_CHECK(window != nullptr);
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    FUZZ_CHECK(renderer != nullptr);
    char directory[] = "/tmp/hummbox-font-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(directory) != nullptr);
    fontPath = std::string(directory) + "/font.bmp";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(fontPath.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);

    BitmapFont font(renderer);
    font.loadImage(fontPath.c_str());
    font.setColor(255, 128, 0);
    static const char text[] = "!AZaz~\x7f\x80\xa0\xa1\xff \0Select ROM file:";
    font.drawText(text, sizeof text - 1, 0, 0);
    font.drawText(text, sizeof text - 1, 730, 750); // runs off the window's edges
    SDL_RenderClear(renderer);
    return 0;
}
