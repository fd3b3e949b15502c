#include "capture/TraceWriter.h"

#include "audio/AudioEngine.h"
#include "capture/NumberedFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t chunkRecords = 4096;
constexpr std::size_t outBytes = std::size_t{1} << 18;
// 1234567 as "1,234,567".
std::string grouped(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

} // namespace

TraceWriter::TraceWriter(std::size_t ringCapacity)
    : RingFileWriter<TraceRing>(ringCapacity, chunkRecords,
                                {"hummbox-trace", ".txt", "trace", "trace"}) {}

void TraceWriter::attach(AudioEngine& engine) {
    tap = &engine.traceTap;
}

bool TraceWriter::openFormat(int descriptor, std::string&) {
    fd = descriptor;
    flushed = 0;
    dropsNoted.store(0);
    out.resize(outBytes);
    outUsed = std::strlen(TraceLine::columns);
    std::memcpy(out.data(), TraceLine::columns, outUsed);
    return true;
}

bool TraceWriter::flushOut(std::string& reason) {
    for (std::size_t done = 0; done < outUsed;) {
        const ssize_t n = write(fd, out.data() + done, outUsed - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            reason = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
        flushed += static_cast<std::size_t>(n);
    }
    outUsed = 0;
    return true;
}

// Records the callback could not push are gone; the file says how many, about where.
bool TraceWriter::noteDrops(std::string& reason) {
    const std::uint64_t dropped = itemsDropped();
    const std::uint64_t noted = dropsNoted.load(std::memory_order_relaxed);
    if (dropped == noted) return true;
    if (out.size() - outUsed < TraceLine::maxSize && !flushOut(reason)) return false;
    const int n = std::snprintf(out.data() + outUsed, TraceLine::maxSize,
                                "# %llu instructions not traced: the writer fell behind\n",
                                static_cast<unsigned long long>(dropped - noted));
    outUsed += static_cast<std::size_t>(n);
    dropsNoted.store(dropped, std::memory_order_relaxed);
    return true;
}

bool TraceWriter::writeItems(const TraceRecord* records, std::size_t n, std::string& reason) {
    for (std::size_t i = 0; i < n; ++i) {
        if (out.size() - outUsed < TraceLine::maxSize && !flushOut(reason)) return false;
        outUsed += TraceLine::format(records[i], out.data() + outUsed);
    }
    return noteDrops(reason);
}

bool TraceWriter::catchUp(std::string& reason) {
    return noteDrops(reason) && flushOut(reason);
}

bool TraceWriter::closeFormat(bool failed, std::string& reason) {
    const bool flushed = failed || flushOut(reason);
    const int closed = close(fd);
    const int closeError = errno;
    fd = -1;
    if (failed || !flushed) return false;
    if (closed != 0) {
        reason = std::strerror(closeError);
        return false;
    }
    return true;
}

std::string TraceWriter::statusName() const {
    if (!error().empty()) return error();
    if (name().empty()) return "";
    return (tracing() ? "TRACE " : "saved ") + name();
}

std::string TraceWriter::statusDetail() const {
    if (name().empty()) return "";
    std::string detail = grouped(linesWritten()) + (linesWritten() == 1 ? " line" : " lines");
    if (recordsDropped() > 0) detail += ", " + grouped(recordsDropped()) + " not traced";
    return detail;
}
