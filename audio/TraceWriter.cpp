#include "audio/TraceWriter.h"

#include "audio/AudioEngine.h"
#include "audio/NumberedFile.h"
#include "cpu/OpcodeTable.h"

#include <SDL.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t chunkRecords = 4096;
constexpr std::size_t outBytes = std::size_t{1} << 18;
constexpr int cycleColumns = 11;
constexpr std::size_t textColumns = 11; // the longest disassembly, "ldx  #$f800"
constexpr char hexDigits[] = "0123456789ABCDEF";

char* put(char* p, const char* text) {
    while (*text != '\0')
        *p++ = *text++;
    return p;
}

char* putHex(char* p, unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        p[i] = hexDigits[value & 0xF];
    return p + digits;
}

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

std::size_t TraceWriter::formatLine(const TraceRecord& r, char* line) {
    char* p = line;
    char digits[20];
    int n = 0;
    for (std::uint64_t c = r.cycles; n == 0 || c != 0; c /= 10)
        digits[n++] = static_cast<char>('0' + c % 10);
    for (int i = n; i < cycleColumns; ++i)
        *p++ = ' ';
    while (n > 0)
        *p++ = digits[--n];

    p = putHex(put(p, "  "), r.pc, 4);
    p = put(p, "  ");
    // The bytes the processor took as the instruction: an opcode it skips is one byte.
    const OpcodeInfo& info = r.set == InstructionSet::Complete ? completeOpcodeTable[r.bytes[0]]
                                                               : opcodeTable[r.bytes[0]];
    const int length = info.implemented() ? info.length() : 1;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) *p++ = ' ';
        p = i < length ? putHex(p, r.bytes[i], 2) : put(p, "  ");
    }

    char text[textColumns + 1];
    Mc6802::disassembleBytes(r.set, r.pc, r.bytes, text);
    p = put(put(p, "  "), text);
    for (std::size_t i = std::strlen(text); i < textColumns; ++i)
        *p++ = ' ';

    p = putHex(put(p, "  A="), r.a, 2);
    p = putHex(put(p, " B="), r.b, 2);
    p = putHex(put(p, " X="), r.x, 4);
    p = putHex(put(p, " SP="), r.sp, 4);
    p = putHex(put(p, " CC="), r.cc, 2);
    *p++ = '\n';
    return static_cast<std::size_t>(p - line);
}

void TraceWriter::toggle(const std::string& directory) {
    if (tracing())
        stop();
    else
        start(directory);
}

bool TraceWriter::start(const std::string& directory) {
    if (tracing()) return true;
    lastError.clear();
    lines.store(0);
    dropsNoted.store(0);
    const NumberedFile created = NumberedFile::create(directory, "hummbox-trace", ".txt");
    fileName = created.name;
    filePath = created.path;
    if (created.error == EEXIST) {
        fail("cannot trace: hummbox-trace-001.txt to hummbox-trace-999.txt all exist in " +
             directory);
        return false;
    }
    if (created.fd < 0) {
        fail("cannot trace to " + filePath + ": " + std::strerror(created.error));
        return false;
    }
    fd = created.fd;
    chunk.resize(chunkRecords);
    out.resize(outBytes);
    outUsed = std::strlen(columns);
    std::memcpy(out.data(), columns, outUsed);
    writeFailed.store(false);
    finishing.store(false);
    dropsBefore = ring.dropped();
    writer = std::thread(&TraceWriter::writeLoop, this);
    engine->traceTap.store(&ring, std::memory_order_release);
    return true;
}

bool TraceWriter::flushOut() {
    for (std::size_t done = 0; done < outUsed;) {
        const ssize_t n = write(fd, out.data() + done, outUsed - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            writeError = n < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    outUsed = 0;
    return true;
}

// Records the callback could not push are gone; the file says how many, about where.
bool TraceWriter::noteDrops() {
    const std::uint64_t dropped = ring.dropped() - dropsBefore;
    const std::uint64_t noted = dropsNoted.load(std::memory_order_relaxed);
    if (dropped == noted) return true;
    if (out.size() - outUsed < maxLineSize && !flushOut()) return false;
    const int n = std::snprintf(out.data() + outUsed, maxLineSize,
                                "# %llu instructions not traced: the writer fell behind\n",
                                static_cast<unsigned long long>(dropped - noted));
    outUsed += static_cast<std::size_t>(n);
    dropsNoted.store(dropped, std::memory_order_relaxed);
    return true;
}

void TraceWriter::writeLoop() {
    for (;;) {
        // Read before draining: once it is set, the callback pushes no more, so an empty ring
        // after it means everything is written.
        const bool last = finishing.load(std::memory_order_acquire);
        const std::size_t n = ring.pop(chunk.data(), chunk.size());
        bool ok = true;
        for (std::size_t i = 0; i < n && ok; ++i) {
            if (out.size() - outUsed < maxLineSize) ok = flushOut();
            if (ok) outUsed += formatLine(chunk[i], out.data() + outUsed);
        }
        if (ok) lines.store(lines.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
        ok = ok && noteDrops();
        // An idle moment: the file catches up, so that it can be read while tracing.
        if (ok && n == 0) ok = flushOut();
        if (!ok) {
            engine->traceTap.store(nullptr, std::memory_order_release);
            writeFailed.store(true, std::memory_order_release);
            return;
        }
        if (n == 0 && last) return;
        if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void TraceWriter::stop() {
    if (!tracing()) return;
    engine->traceTap.store(nullptr, std::memory_order_release);
    // A callback that took the ring before the store may still be pushing: the audio lock
    // waits for it to return.
    SDL_LockAudio();
    SDL_UnlockAudio();
    finishing.store(true, std::memory_order_release);
    writer.join();
    const bool failed = writeFailed.load(std::memory_order_acquire);
    const int closed = close(fd);
    const int closeError = errno;
    fd = -1;
    if (failed) {
        // The records still in the ring belong to the failed trace.
        while (ring.pop(chunk.data(), chunk.size()) > 0) {
        }
        fail("trace " + filePath + " stopped: " + std::strerror(writeError));
    } else if (closed != 0) {
        fail("trace " + filePath + " stopped: " + std::strerror(closeError));
    }
}

void TraceWriter::service() {
    if (tracing() && writeFailed.load(std::memory_order_acquire)) stop();
}

void TraceWriter::fail(const std::string& reason) {
    lastError = reason;
    std::fprintf(stderr, "hummbox: %s\n", reason.c_str());
}

std::string TraceWriter::statusName() const {
    if (!lastError.empty()) return lastError;
    if (fileName.empty()) return "";
    return (tracing() ? "TRACE " : "saved ") + fileName;
}

std::string TraceWriter::statusDetail() const {
    if (fileName.empty()) return "";
    std::string detail = grouped(linesWritten()) + (linesWritten() == 1 ? " line" : " lines");
    if (recordsDropped() > 0) detail += ", " + grouped(recordsDropped()) + " not traced";
    return detail;
}
