#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>

// How long the audio callback takes to make its buffers, for soak runs: a buffer that took
// longer to make than it lasts is an overrun, and enough of them starve the device. Wall
// time counts time the thread spent preempted on a busy machine; the thread's processor time
// is the program's own cost. Only when enabled (HUMMBOX_AUDIO_TIMING set at start-up) does
// the callback read the clocks and record, and are the numbers printed at exit. Written by
// the audio thread only; relaxed atomics, no lock, no allocation.
struct AudioTiming {
    bool enabled = false; // set before the audio thread starts
    std::atomic<std::uint64_t> buffers{0};
    std::atomic<std::uint64_t> overruns{0};    // by wall time
    std::atomic<std::uint64_t> cpuOverruns{0}; // by the thread's processor time
    std::atomic<std::uint64_t> worstTicks{0};  // the longest buffer, in performance ticks
    std::atomic<std::uint64_t> worstBudget{0}; // that buffer's playing time, in ticks

    // The calling thread's processor time in nanoseconds.
    static std::uint64_t threadNanos() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u +
               static_cast<std::uint64_t>(t.tv_nsec);
    }

    // One buffer of frames frames took ticks performance-counter ticks and cpuNanos of the
    // thread's processor time to make.
    void record(Uint64 ticks, std::uint64_t cpuNanos, std::uint64_t frames, int sampleRate) {
        const Uint64 budget =
            frames * SDL_GetPerformanceFrequency() / static_cast<Uint64>(sampleRate);
        buffers.store(buffers.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (cpuNanos > frames * 1000000000u / static_cast<std::uint64_t>(sampleRate))
            cpuOverruns.store(cpuOverruns.load(std::memory_order_relaxed) + 1,
                              std::memory_order_relaxed);
        if (ticks > budget)
            overruns.store(overruns.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (ticks > worstTicks.load(std::memory_order_relaxed)) {
            worstTicks.store(ticks, std::memory_order_relaxed);
            worstBudget.store(budget, std::memory_order_relaxed);
        }
    }

    // One line on stderr, only when enabled.
    void reportIfAsked() const {
        if (!enabled) return;
        const double msPerTick = 1000.0 / static_cast<double>(SDL_GetPerformanceFrequency());
        std::fprintf(stderr,
                     "hummbox audio timing: %llu buffers, %llu overran their playing time, "
                     "%llu in processor time; longest %.3f ms of %.3f ms\n",
                     static_cast<unsigned long long>(buffers.load()),
                     static_cast<unsigned long long>(overruns.load()),
                     static_cast<unsigned long long>(cpuOverruns.load()),
                     static_cast<double>(worstTicks.load()) * msPerTick,
                     static_cast<double>(worstBudget.load()) * msPerTick);
    }
};
