#pragma once

#include <SDL.h>

#include <array>
#include <cstddef>
#include <vector>

// A live oscilloscope of the DAC output. It keeps a window of the most recent samples and
// shows 256 of them, starting at the last rising crossing of the window's mid level that
// leaves 256 samples after it, so that a steady tone stands still on the screen.
class Scope {
  public:
    static constexpr int traceLength = 256;
    static constexpr int windowLength = 2048;
    // The trace area, inside a dim frame one pixel around it, below the PROM panel and beside
    // the key help.
    static constexpr int x = 400;
    static constexpr int y = 708;
    static constexpr int height = 40;
    // The DAC's output range: bytes 0x00 and 0xFF.
    static constexpr float lowest = -0.127f;
    static constexpr float highest = 0.128f;

    // Appends samples, keeping the latest windowLength.
    void feed(const float* samples, std::size_t n);
    // Forgets every sample: the trace is flat, at the level of silence.
    void clear();
    // Row offsets 0 (top) to height - 1 of the shown samples, left to right; the top is highest.
    std::array<int, traceLength> trace() const;
    // The frame and the trace; leaves the renderer's draw colour as it was.
    void draw(SDL_Renderer* renderer) const;

  private:
    std::vector<float> recent = std::vector<float>(windowLength); // oldest first; off the stack
};
