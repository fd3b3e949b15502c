#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

// A lock-free ring between exactly one producer thread (the audio callback) and one consumer
// thread. The storage is allocated once, in the constructor, before either thread uses it;
// push and pop neither allocate nor block. The indices count items from the start and only
// grow; their difference is the fill level. T must be trivially copyable.
template <class T> class SpscRing {
  public:
    using Item = T;

    // capacity: a power of two.
    explicit SpscRing(std::size_t capacity)
        : mask(capacity - 1), storage(std::make_unique<T[]>(capacity)) {}

    std::size_t capacity() const { return mask + 1; }

    // Producer: appends what fits of n items; the rest is counted as dropped.
    void push(const T* items, std::size_t n) {
        const std::uint64_t w = writeIndex.load(std::memory_order_relaxed);
        const std::uint64_t r = readIndex.load(std::memory_order_acquire);
        const std::size_t room = capacity() - static_cast<std::size_t>(w - r);
        const std::size_t fits = n < room ? n : room;
        for (std::size_t i = 0; i < fits; ++i)
            storage[static_cast<std::size_t>(w + i) & mask] = items[i];
        writeIndex.store(w + fits, std::memory_order_release);
        if (fits < n)
            dropCount.store(dropCount.load(std::memory_order_relaxed) + (n - fits),
                            std::memory_order_relaxed);
    }

    // Consumer: moves up to max items into out; returns how many.
    std::size_t pop(T* out, std::size_t max) {
        const std::uint64_t r = readIndex.load(std::memory_order_relaxed);
        const std::uint64_t w = writeIndex.load(std::memory_order_acquire);
        const std::size_t ready = static_cast<std::size_t>(w - r);
        const std::size_t n = ready < max ? ready : max;
        for (std::size_t i = 0; i < n; ++i)
            out[i] = storage[static_cast<std::size_t>(r + i) & mask];
        readIndex.store(r + n, std::memory_order_release);
        return n;
    }

    // Items waiting for the consumer. Either thread; exact only on the consumer's.
    std::size_t size() const {
        return static_cast<std::size_t>(writeIndex.load(std::memory_order_acquire) -
                                        readIndex.load(std::memory_order_acquire));
    }

    // Items that did not fit, since construction. Any thread.
    std::uint64_t dropped() const { return dropCount.load(std::memory_order_relaxed); }

  private:
    const std::size_t mask;
    std::unique_ptr<T[]> storage;
    // Apart, so that the two threads do not share a cache line for their own index.
    alignas(64) std::atomic<std::uint64_t> writeIndex{0};
    alignas(64) std::atomic<std::uint64_t> readIndex{0};
    alignas(64) std::atomic<std::uint64_t> dropCount{0};
};
