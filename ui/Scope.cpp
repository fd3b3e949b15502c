#include "ui/Scope.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void Scope::feed(const float* samples, std::size_t n) {
    if (n >= recent.size()) {
        std::memcpy(recent.data(), samples + (n - recent.size()), recent.size() * sizeof(float));
        return;
    }
    std::memmove(recent.data(), recent.data() + n, (recent.size() - n) * sizeof(float));
    std::memcpy(recent.data() + (recent.size() - n), samples, n * sizeof(float));
}

void Scope::clear() {
    std::fill(recent.begin(), recent.end(), 0.0f);
}

std::array<int, Scope::traceLength> Scope::trace() const {
    const auto [low, high] = std::minmax_element(recent.begin(), recent.end());
    const float mid = (*low + *high) / 2;
    std::size_t start = recent.size() - traceLength;
    // A flat window has no crossing: the latest samples, flat.
    for (std::size_t i = start; *low < *high && i > 0; --i) {
        if (recent[i - 1] < mid && recent[i] >= mid) {
            start = i;
            break;
        }
    }
    std::array<int, traceLength> rows{};
    const float scale = static_cast<float>(height - 1) / (highest - lowest);
    for (int k = 0; k < traceLength; ++k) {
        const float level = std::clamp(recent[start + k], lowest, highest);
        rows[k] = height - 1 - static_cast<int>(std::lround((level - lowest) * scale));
    }
    return rows;
}

void Scope::draw(SDL_Renderer* renderer) const {
    Uint8 r, g, b, a;
    SDL_GetRenderDrawColor(renderer, &r, &g, &b, &a);
    SDL_SetRenderDrawColor(renderer, 40, 70, 40, 255);
    const SDL_Rect frame{x - 1, y - 1, traceLength + 2, height + 2};
    SDL_RenderDrawRect(renderer, &frame);
    const std::array<int, traceLength> rows = trace();
    std::array<SDL_Point, traceLength> points;
    for (int k = 0; k < traceLength; ++k)
        points[k] = {x + k, y + rows[k]};
    SDL_SetRenderDrawColor(renderer, 120, 255, 120, 255);
    SDL_RenderDrawLines(renderer, points.data(), traceLength);
    SDL_SetRenderDrawColor(renderer, r, g, b, a);
}
