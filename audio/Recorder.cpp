#include "audio/Recorder.h"

#include "audio/AudioEngine.h"
#include "audio/NumberedFile.h"

#include <SDL.h>
#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t chunkSamples = 8192;

} // namespace

void Recorder::toggle(const std::string& directory) {
    if (recording())
        stop();
    else
        start(directory);
}

bool Recorder::start(const std::string& directory) {
    if (recording()) return true;
    lastError.clear();
    const NumberedFile created = NumberedFile::create(directory, "hummbox", ".wav");
    const int fd = created.fd;
    fileName = created.name;
    filePath = created.path;
    if (created.error == EEXIST) {
        fail("cannot record: hummbox-001.wav to hummbox-999.wav all exist in " + directory);
        return false;
    }
    if (fd < 0) {
        fail("cannot record to " + filePath + ": " + std::strerror(created.error));
        return false;
    }
    SF_INFO info{};
    info.samplerate = AudioEngine::sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE); // closes fd, on failure as well
    if (file == nullptr) {
        std::remove(filePath.c_str());
        fail("cannot record to " + filePath + ": " + sf_strerror(nullptr));
        return false;
    }
    // The header follows every write, so that the file reads as a whole recording at any
    // moment: after a crash, or a disk that filled up.
    sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);

    chunk.resize(chunkSamples);
    frames.store(0);
    writeFailed.store(false);
    finishing.store(false);
    dropsBefore = ring.dropped();
    writer = std::thread(&Recorder::writeLoop, this);
    engine->recordTap.store(&ring, std::memory_order_release);
    return true;
}

void Recorder::writeLoop() {
    for (;;) {
        // Read before draining: once it is set, the callback pushes no more, so an empty ring
        // after it means everything is written.
        const bool last = finishing.load(std::memory_order_acquire);
        const std::size_t n = ring.pop(chunk.data(), chunk.size());
        if (n > 0) {
            const auto count = static_cast<sf_count_t>(n);
            if (sf_writef_float(file, chunk.data(), count) != count) {
                writeError = sf_strerror(file);
                engine->recordTap.store(nullptr, std::memory_order_release);
                writeFailed.store(true, std::memory_order_release);
                return;
            }
            frames.store(frames.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
        } else if (last) {
            return;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

void Recorder::stop() {
    if (!recording()) return;
    engine->recordTap.store(nullptr, std::memory_order_release);
    // A callback that took the ring before the store may still be pushing: the audio lock
    // waits for it to return.
    SDL_LockAudio();
    SDL_UnlockAudio();
    finishing.store(true, std::memory_order_release);
    writer.join();
    if (writeFailed.load(std::memory_order_acquire)) {
        sf_close(file);
        file = nullptr;
        // The samples still in the ring belong to the failed recording.
        while (ring.pop(chunk.data(), chunk.size()) > 0) {
        }
        fail("recording " + filePath + " stopped: " + writeError);
        return;
    }
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0) {
        fail("recording " + filePath + " stopped: " + sf_error_number(closed));
    } else if (samplesDropped() > 0) {
        fail("recording " + filePath + " lost " + std::to_string(samplesDropped()) +
             " samples: the disk did not keep up");
    }
}

void Recorder::service() {
    if (recording() && writeFailed.load(std::memory_order_acquire)) stop();
}

void Recorder::fail(const std::string& reason) {
    lastError = reason;
    std::fprintf(stderr, "hummbox: %s\n", reason.c_str());
}

std::string Recorder::statusText() const {
    if (!lastError.empty()) return lastError;
    if (fileName.empty()) return "";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " %.1f s",
                  static_cast<double>(framesWritten()) / AudioEngine::sampleRate);
    return (recording() ? "REC " : "saved ") + fileName + seconds;
}
