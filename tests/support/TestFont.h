#pragma once

#include <SDL.h>

#include <string>

// Writes a 256 x 24 "font.bmp" whose glyphs are all solid white blocks, so that every drawn
// character cell can be seen in the renderer's pixels.
inline bool writeSolidFont(const std::string& path = "font.bmp") {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 256, 24, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) return false;
    SDL_FillRect(surface, nullptr, 0xFFFFFFFF);
    const bool saved = SDL_SaveBMP(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

// One pixel of the renderer's target as 0xRRGGBB.
inline Uint32 pixelAt(SDL_Renderer* renderer, int x, int y) {
    Uint32 argb = 0;
    const SDL_Rect rect{x, y, 1, 1};
    SDL_RenderReadPixels(renderer, &rect, SDL_PIXELFORMAT_ARGB8888, &argb, 4);
    return argb & 0xFFFFFF;
}
