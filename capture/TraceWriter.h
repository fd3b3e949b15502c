#pragma once

#include "capture/RingFileWriter.h"
#include "debug/TraceLine.h"
#include "debug/TraceRing.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct AudioEngine;

// Writes every instruction the processor executes, one line each (TraceLine), into numbered
// files (hummbox-trace-001.txt, ...; the first free number, never overwriting), or offline
// into a file of hummbox-render's. Records that find the ring full are lost and noted in the
// file where they went missing.
class TraceWriter : public RingFileWriter<TraceRing> {
  public:
    static constexpr std::size_t ringRecords = std::size_t{1} << 18;

    // ringCapacity: a power of two.
    explicit TraceWriter(std::size_t ringCapacity = ringRecords);
    ~TraceWriter() override { stop(); }

    // Set once, before the first start: the callback's trace tap.
    void attach(AudioEngine& engine);

    bool tracing() const { return active(); }
    // "TRACE hummbox-trace-001.txt" while tracing, "saved ..." after, or the last error.
    std::string statusName() const;
    // "12,345 lines", and how many instructions were lost, if any.
    std::string statusDetail() const;
    std::uint64_t linesWritten() const { return itemsWritten(); }
    std::uint64_t recordsDropped() const { return dropsNoted.load(std::memory_order_relaxed); }

  private:
    bool openFormat(int fd, std::string& reason) override;
    bool writeItems(const TraceRecord* records, std::size_t n, std::string& reason) override;
    bool catchUp(std::string& reason) override;
    bool closeFormat(bool failed, std::string& reason) override;
    bool wroteNothing() const override { return flushed <= std::strlen(TraceLine::columns); }
    bool noteDrops(std::string& reason);
    bool flushOut(std::string& reason);

    int fd = -1;
    std::vector<char> out; // lines waiting to be written
    std::size_t outUsed = 0;
    std::size_t flushed = 0;                  // bytes in the file
    std::atomic<std::uint64_t> dropsNoted{0}; // of this trace, written into the file
};
