#pragma once

#include "capture/ReplacingFile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Ring: an SpscRing of the items, or a class derived from one.
//
// The skeleton of every file that the running machine writes: the audio callback pushes
// items (samples, trace records) into a ring through a tap, and a writer thread of the
// file's own drains the ring into the file, so neither a stalled main loop nor a slow disk
// blocks the callback; a full ring is counted, not waited for. Offline, the caller drains
// the ring itself after every buffer instead, and nothing is lost.
//
// A kind of file says how it is named and written: it opens its format on a descriptor,
// writes batches of items and closes. toggle, start, stop and service belong to the main
// thread; writeItems, catchUp and the drop count run on the writer thread (or the caller's,
// offline). A write that fails ends the file, never the sound: the tap is cleared at once
// and the main thread's next service closes the file and says why.
template <class RingType> class RingFileWriter {
  public:
    using Ring = RingType;
    using T = typename Ring::Item;

    // Where the callback looks for the ring; set once, before the first start.
    std::atomic<Ring*>* tap = nullptr;

    RingFileWriter(const RingFileWriter&) = delete;
    RingFileWriter& operator=(const RingFileWriter&) = delete;

    // Starts a file in directory, or stops the one running.
    void toggle(const std::string& directory = ".");
    // A new numbered file in directory, written by a thread of its own. False, with the
    // reason on stderr and in lastError, when no file can be made.
    bool start(const std::string& directory = ".");
    // The same into the file at path, which is replaced by rename once the file is complete.
    bool startFile(const std::string& path);
    // Offline: writes into fd (which this writer closes) at path, drained by drain().
    bool startOffline(int fd, const std::string& path);
    // Offline: writes what the ring holds now; false once a write has failed.
    bool drain();
    // Stops the callback's pushes, writes what they left in the ring and closes the file;
    // false when the file could not be written completely.
    bool stop();
    // Once per main-loop iteration: ends a file that could not be written.
    void service();

    bool active() const { return isActive; }
    const std::string& path() const { return filePath; }
    const std::string& name() const { return fileName; }
    const std::string& error() const { return lastError; }
    // Of the current or last file.
    std::uint64_t itemsWritten() const { return written.load(std::memory_order_relaxed); }
    std::uint64_t itemsDropped() const { return ring.dropped() - dropsBefore; }

  protected:
    struct Naming {
        const char* stem; // "hummbox-trace": files are stem-001.ext and on
        const char* ext;  // ".txt"
        const char* verb; // "trace": "cannot trace to ..."
        const char* noun; // "trace": "trace ... stopped: ..."
    };

    RingFileWriter(std::size_t ringCapacity, std::size_t chunkItems, Naming naming)
        : ring(ringCapacity), chunk(chunkItems), naming(naming) {}
    // Every kind stops in its own destructor, while its format still exists.
    virtual ~RingFileWriter() = default;

    // The format on a new, empty file; false with the reason in reason. Main thread.
    virtual bool openFormat(int fd, std::string& reason) = 0;
    // Writes n items; false with the reason in reason. Writer thread.
    virtual bool writeItems(const T* items, std::size_t n, std::string& reason) = 0;
    // The ring was found empty: a moment to catch up (flush). Writer thread.
    virtual bool catchUp(std::string& reason) { return (void)reason, true; }
    // Whether the file holds nothing of the items (a header at most). Main thread, once the
    // writer has ended.
    virtual bool wroteNothing() const { return itemsWritten() == 0; }
    // Ends the format and closes its file, after a failure too. Main thread.
    virtual bool closeFormat(bool failed, std::string& reason) = 0;

    // Says why the file failed, on stderr and in error(); the reason first, so that a status
    // line cut to its width still shows it.
    void fail(const std::string& reason, const std::string& what);

    Ring ring;

  private:
    // Starts the writer thread on the format opened.
    bool begin();
    void writeLoop();
    bool pump(bool& idle);

    std::vector<T> chunk;
    Naming naming;
    bool isActive = false;
    bool threaded = false;
    std::thread writer;
    std::atomic<bool> finishing{false};
    std::atomic<bool> writeFailed{false};
    std::atomic<std::uint64_t> written{0};
    std::uint64_t dropsBefore = 0;
    std::unique_ptr<ReplacingFile> replacing; // startFile's, until stop
    std::string writeError;                   // the writer's, read once it has been joined
    std::string filePath;
    std::string fileName;
    std::string lastError;
};
