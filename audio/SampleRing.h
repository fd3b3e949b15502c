#pragma once

#include "ring/SpscRing.h"

#include <cstddef>
#include <cstring>

// Float samples from the audio callback to the recording's writer or the debugger's scope.
class SampleRing : public SpscRing<float> {
  public:
    using SpscRing<float>::SpscRing;
    using SpscRing<float>::push;

    // Producer: n native floats at any alignment (the callback's output stream).
    void push(const void* samples, std::size_t n) {
        float chunk[256];
        const auto* bytes = static_cast<const unsigned char*>(samples);
        for (std::size_t done = 0; done < n;) {
            const std::size_t k = n - done < 256 ? n - done : 256;
            std::memcpy(chunk, bytes + done * sizeof(float), k * sizeof(float));
            push(chunk, k);
            done += k;
        }
    }

    // Producer: appends n zero samples, as push does.
    void pushSilence(std::size_t n) {
        static constexpr float zeros[256] = {};
        for (std::size_t done = 0; done < n; done += 256)
            push(zeros, n - done < 256 ? n - done : 256);
    }
};
