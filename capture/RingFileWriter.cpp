#include "capture/RingFileWriter.h"

#include "audio/SampleRing.h"
#include "capture/NumberedFile.h"
#include "debug/TraceRing.h"

#include <SDL.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

template <class Ring> void RingFileWriter<Ring>::toggle(const std::string& directory) {
    if (active())
        stop();
    else
        start(directory);
}

template <class Ring> bool RingFileWriter<Ring>::start(const std::string& directory) {
    if (active()) return true;
    lastError.clear();
    threaded = true;
    const NumberedFile created = NumberedFile::create(directory, naming.stem, naming.ext);
    fileName = created.name;
    filePath = created.path;
    if (created.error == EEXIST) {
        std::error_code ec;
        std::string where = std::filesystem::absolute(directory, ec).lexically_normal().string();
        if (where.size() > 1 && where.back() == '/') where.pop_back(); // "dir/." ends so
        fail(std::string("every name from ") + naming.stem + "-001" + naming.ext + " to " +
                 naming.stem + "-999" + naming.ext + " is taken",
             std::string("cannot ") + naming.verb + " in " + (ec ? directory : where));
        return false;
    }
    if (created.fd < 0) {
        fail(std::strerror(created.error),
             std::string("cannot ") + naming.verb + " to " + filePath);
        return false;
    }
    std::string reason;
    if (!openFormat(created.fd, reason)) {
        std::remove(filePath.c_str());
        fail(reason, std::string("cannot ") + naming.verb + " to " + filePath);
        return false;
    }
    return begin();
}

template <class Ring> bool RingFileWriter<Ring>::startFile(const std::string& path) {
    if (active()) return true;
    lastError.clear();
    threaded = true;
    fileName = filePath = path;
    replacing = std::make_unique<ReplacingFile>();
    std::string reason;
    if (!replacing->open(path, reason)) {
        replacing.reset();
        lastError = reason;
        std::fprintf(stderr, "hummbox: %s\n", lastError.c_str());
        return false;
    }
    const int fd = dup(replacing->fd());
    if (fd < 0) reason = std::strerror(errno);
    if (fd < 0 || !openFormat(fd, reason)) {
        replacing.reset(); // removes the temporary file
        fail(reason, std::string("cannot ") + naming.verb + " to " + filePath);
        return false;
    }
    return begin();
}

template <class Ring> bool RingFileWriter<Ring>::begin() {
    isActive = true;
    written.store(0);
    writeFailed.store(false);
    finishing.store(false);
    dropsBefore = ring.dropped();
    writer = std::thread(&RingFileWriter::writeLoop, this);
    tap->store(&ring, std::memory_order_release);
    return true;
}

template <class Ring> bool RingFileWriter<Ring>::startOffline(int fd, const std::string& path) {
    if (active()) return false;
    lastError.clear();
    threaded = false;
    fileName = filePath = path;
    std::string reason;
    if (!openFormat(fd, reason)) {
        fail(reason, std::string("cannot ") + naming.verb + " to " + filePath);
        return false;
    }
    isActive = true;
    written.store(0);
    writeFailed.store(false);
    dropsBefore = ring.dropped();
    tap->store(&ring, std::memory_order_release);
    return true;
}

template <class Ring> bool RingFileWriter<Ring>::pump(bool& idle) {
    const std::size_t n = ring.pop(chunk.data(), chunk.size());
    idle = n == 0;
    if (n > 0 && !writeItems(chunk.data(), n, writeError)) return false;
    written.store(written.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    // An idle moment: the file catches up, so that it can be read while it is written.
    return n > 0 || catchUp(writeError);
}

template <class Ring> bool RingFileWriter<Ring>::drain() {
    if (!active() || writeFailed.load(std::memory_order_relaxed)) return false;
    for (bool idle = false; !idle;) {
        if (!pump(idle)) {
            tap->store(nullptr, std::memory_order_release);
            writeFailed.store(true, std::memory_order_release);
            return false;
        }
    }
    return true;
}

template <class Ring> void RingFileWriter<Ring>::writeLoop() {
    for (;;) {
        // Read before draining: once it is set, the callback pushes no more, so an empty ring
        // after it means everything is written.
        const bool last = finishing.load(std::memory_order_acquire);
        bool idle = false;
        if (!pump(idle)) {
            tap->store(nullptr, std::memory_order_release);
            writeFailed.store(true, std::memory_order_release);
            return;
        }
        if (idle && last) return;
        if (idle) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

template <class Ring> bool RingFileWriter<Ring>::stop() {
    if (!active()) return true;
    tap->store(nullptr, std::memory_order_release);
    if (threaded) {
        // A callback that took the ring before the store may still be pushing: the audio
        // lock waits for it to return.
        SDL_LockAudio();
        SDL_UnlockAudio();
        finishing.store(true, std::memory_order_release);
        writer.join();
    } else {
        drain();
    }
    isActive = false;
    const bool failed = writeFailed.load(std::memory_order_acquire);
    if (failed) {
        // What is still in the ring belongs to the failed file.
        while (ring.pop(chunk.data(), chunk.size()) > 0) {
        }
    }
    // A file that failed before it held anything is no use to anyone.
    const bool useless = failed && threaded && wroteNothing();
    std::string closeError;
    bool closed = closeFormat(failed, closeError);
    if (replacing != nullptr) {
        // Only a complete file replaces the one at its path; otherwise that one stays.
        if (!failed && closed) closed = replacing->commit(closeError);
        replacing.reset();
    } else if (useless) {
        std::remove(filePath.c_str());
    }
    if (failed)
        fail(writeError, std::string(naming.noun) + " " + filePath + " stopped");
    else if (!closed)
        fail(closeError, std::string(naming.noun) + " " + filePath + " stopped");
    return !failed && closed;
}

template <class Ring> void RingFileWriter<Ring>::service() {
    if (active() && writeFailed.load(std::memory_order_acquire)) stop();
}

template <class Ring>
void RingFileWriter<Ring>::fail(const std::string& reason, const std::string& what) {
    lastError = reason + ": " + what;
    // Offline, the caller reports in its own words.
    if (threaded) std::fprintf(stderr, "hummbox: %s\n", lastError.c_str());
}

template class RingFileWriter<SampleRing>;
template class RingFileWriter<TraceRing>;
