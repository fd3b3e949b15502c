#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

// A lock-free ring of float samples between exactly one producer thread (the audio callback)
// and one consumer thread (the recording's writer). The storage is allocated once, in the
// constructor, before either thread uses it; push and pop neither allocate nor block. The
// indices count samples from the start and only grow; their difference is the fill level.
class SampleRing {
  public:
    // capacity: a power of two.
    explicit SampleRing(std::size_t capacity)
        : mask(capacity - 1), storage(std::make_unique<float[]>(capacity)) {}

    std::size_t capacity() const { return mask + 1; }

    // Producer: appends what fits of n samples (native floats, at any alignment); the rest is
    // counted as dropped.
    void push(const void* samples, std::size_t n) {
        const std::uint64_t w = writeIndex.load(std::memory_order_relaxed);
        const std::uint64_t r = readIndex.load(std::memory_order_acquire);
        const std::size_t room = capacity() - static_cast<std::size_t>(w - r);
        const std::size_t fits = n < room ? n : room;
        const std::size_t at = static_cast<std::size_t>(w) & mask;
        const std::size_t first = fits < capacity() - at ? fits : capacity() - at;
        const auto* bytes = static_cast<const unsigned char*>(samples);
        std::memcpy(&storage[at], bytes, first * sizeof(float));
        std::memcpy(&storage[0], bytes + first * sizeof(float), (fits - first) * sizeof(float));
        writeIndex.store(w + fits, std::memory_order_release);
        if (fits < n)
            dropCount.store(dropCount.load(std::memory_order_relaxed) + (n - fits),
                            std::memory_order_relaxed);
    }

    // Producer: appends n zero samples, as push does.
    void pushSilence(std::size_t n) {
        static constexpr float zeros[256] = {};
        for (std::size_t done = 0; done < n; done += 256)
            push(zeros, n - done < 256 ? n - done : 256);
    }

    // Consumer: moves up to max samples into out; returns how many.
    std::size_t pop(float* out, std::size_t max) {
        const std::uint64_t r = readIndex.load(std::memory_order_relaxed);
        const std::uint64_t w = writeIndex.load(std::memory_order_acquire);
        const std::size_t ready = static_cast<std::size_t>(w - r);
        const std::size_t n = ready < max ? ready : max;
        const std::size_t at = static_cast<std::size_t>(r) & mask;
        const std::size_t first = n < capacity() - at ? n : capacity() - at;
        std::memcpy(out, &storage[at], first * sizeof(float));
        std::memcpy(out + first, &storage[0], (n - first) * sizeof(float));
        readIndex.store(r + n, std::memory_order_release);
        return n;
    }

    // Samples that did not fit, since construction. Any thread.
    std::uint64_t dropped() const { return dropCount.load(std::memory_order_relaxed); }

  private:
    const std::size_t mask;
    std::unique_ptr<float[]> storage;
    // Apart, so that the two threads do not share a cache line for their own index.
    alignas(64) std::atomic<std::uint64_t> writeIndex{0};
    alignas(64) std::atomic<std::uint64_t> readIndex{0};
    alignas(64) std::atomic<std::uint64_t> dropCount{0};
};
