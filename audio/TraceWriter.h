#pragma once

#include "audio/TraceRing.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

struct AudioEngine;

// Writes every instruction the processor executes, one text line each, into numbered files
// (hummbox-trace-001.txt, ...; the first free number, never overwriting). The audio thread
// pushes records into the ring; a writer thread of the trace's own formats and writes them,
// so a slow disk never blocks the callback. Records that find the ring full are lost and
// noted in the file where they went missing. A failed write stops the trace, not the sound.
// start, stop, toggle and service belong to the main thread.
class TraceWriter {
  public:
    static constexpr std::size_t ringRecords = std::size_t{1} << 18;
    // A formatted line never needs more, newline included.
    static constexpr std::size_t maxLineSize = 96;
    // The first line of a trace file: the columns.
    static constexpr const char* columns =
        "#    cycles  addr  bytes     instruction  registers after it\n";

    AudioEngine* engine = nullptr; // set once, before the first start

    // ringCapacity: a power of two.
    explicit TraceWriter(std::size_t ringCapacity = ringRecords) : ring(ringCapacity) {}
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;
    ~TraceWriter() { stop(); }

    // One record as a line, newline included, into line (maxLineSize bytes); returns its
    // length. Decodes the record's own bytes, never the live memory:
    //      12345  F845  BD F9 00  jsr  $f900   A=00 B=12 X=0000 SP=007F CC=D0
    static std::size_t formatLine(const TraceRecord& record, char* line);

    // Starts a trace in directory, or stops the one running.
    void toggle(const std::string& directory = ".");
    // False, with the reason on stderr and in statusName, when no file can be made.
    bool start(const std::string& directory = ".");
    // Stops the callback's pushes, writes what they left in the ring and closes the file.
    void stop();
    // Once per main-loop iteration: ends a trace whose file could not be written.
    void service();

    bool tracing() const { return fd >= 0; }
    // "TRACE hummbox-trace-001.txt" while tracing, "saved ..." after, or the last error.
    std::string statusName() const;
    // "12,345 lines", and how many instructions were lost, if any.
    std::string statusDetail() const;
    const std::string& path() const { return filePath; }
    // Of the current or last trace.
    std::uint64_t linesWritten() const { return lines.load(std::memory_order_relaxed); }
    std::uint64_t recordsDropped() const { return dropsNoted.load(std::memory_order_relaxed); }

  private:
    void writeLoop();
    bool noteDrops();
    bool flushOut();
    void fail(const std::string& reason);

    TraceRing ring;
    std::vector<TraceRecord> chunk;
    std::vector<char> out; // lines waiting to be written
    std::size_t outUsed = 0;
    int fd = -1;
    std::thread writer;
    std::atomic<bool> finishing{false};
    std::atomic<bool> writeFailed{false};
    std::atomic<std::uint64_t> lines{0};
    std::atomic<std::uint64_t> dropsNoted{0}; // of this trace, written into the file
    std::uint64_t dropsBefore = 0;            // the ring's count when this trace began
    int writeError = 0;                       // the writer's errno, read once it has been joined
    std::string filePath;
    std::string fileName;
    std::string lastError;
};
