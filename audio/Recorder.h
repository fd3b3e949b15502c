#pragma once

#include "audio/SampleRing.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

struct AudioEngine;
struct sf_private_tag;

// Records what the audio callback outputs into numbered WAV files (hummbox-001.wav, ...; the
// first free number, never overwriting), 48 kHz mono float. The callback pushes its samples
// into the ring; a writer thread of the recording's own drains it into the file, so neither a
// stalled main loop nor a slow disk blocks the callback, and a full ring is counted, not
// waited for. The file is written in place with its header brought up to date after every
// write: a crash or a full disk leaves a readable recording of what came before.
// start, stop, toggle and service belong to the main thread.
class Recorder {
  public:
    static constexpr std::size_t ringSamples = std::size_t{1} << 19; // about 10.9 s

    AudioEngine* engine = nullptr; // set once, before the first start

    Recorder() = default;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    ~Recorder() { stop(); }

    // Starts a recording in directory, or stops the one running.
    void toggle(const std::string& directory = ".");
    // False, with the reason on stderr and in statusText, when no file can be made.
    bool start(const std::string& directory = ".");
    // Stops the callback's pushes, writes what they left in the ring and closes the file.
    void stop();
    // Once per main-loop iteration: ends a recording whose file could not be written.
    void service();

    bool recording() const { return file != nullptr; }
    // "REC hummbox-001.wav 12.3 s" while recording, "saved ..." after, or the last error.
    std::string statusText() const;
    const std::string& path() const { return filePath; }
    // Of the current or last recording.
    std::uint64_t framesWritten() const { return frames.load(std::memory_order_relaxed); }
    std::uint64_t samplesDropped() const { return ring.dropped() - dropsBefore; }

  private:
    void writeLoop();
    void fail(const std::string& reason);

    SampleRing ring{ringSamples};
    std::vector<float> chunk;
    sf_private_tag* file = nullptr;
    std::thread writer;
    std::atomic<bool> finishing{false};
    std::atomic<bool> writeFailed{false};
    std::atomic<std::uint64_t> frames{0};
    std::string writeError; // the writer's, read once it has been joined
    std::string filePath;
    std::string fileName;
    std::string lastError;
    std::uint64_t dropsBefore = 0;
};
