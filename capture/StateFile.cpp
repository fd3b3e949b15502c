#include "capture/StateFile.h"

#include "audio/AudioEngine.h"
#include "capture/ReplacingFile.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char magic[8] = {'H', 'U', 'M', 'M', 'S', 'T', 'A', 'T'};

std::uint32_t crcOf(const std::uint8_t* bytes, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), bytes, static_cast<uInt>(size)));
}

// Big-endian, as the board's words.
std::uint64_t numberAt(const std::uint8_t* bytes, int length) {
    std::uint64_t value = 0;
    for (int i = 0; i < length; ++i)
        value = value << 8 | bytes[i];
    return value;
}

std::string count(std::size_t n) {
    return std::to_string(n);
}

} // namespace

void StateFile::take(const Mc6802& live, const AudioEngine& engine) {
    board.copyFrom(live);
    clockCycles = engine.clockCycles;
    sampleCount = engine.sampleCount;
}

void StateFile::put(Mc6802& live, AudioEngine& engine) const {
    const Mc6802& s = board.cpu;
    live.A = s.A, live.B = s.B, live.CC = s.CC, live.X = s.X, live.SP = s.SP, live.PC = s.PC;
    live.cycleCount = s.cycleCount;
    live.instructionSet = s.instructionSet;
    live.waiting = s.waiting;
    std::copy(board.memory.begin(), board.memory.end(), live.memory);
    std::copy(board.heat.begin(), board.heat.end(), live.heat);
    engine.clockCycles = clockCycles;
    engine.sampleCount = sampleCount;
}

std::vector<std::uint8_t> StateFile::encode() const {
    std::vector<std::uint8_t> out(std::begin(magic), std::end(magic));
    out.reserve(fileSize);
    const auto number = [&out](std::uint64_t value, int length) {
        for (int i = length; i-- > 0;)
            out.push_back(static_cast<std::uint8_t>(value >> 8 * i));
    };
    const Mc6802& c = board.cpu;
    number(formatVersion, 2);
    number(payloadSize, 4);
    number(c.A, 1), number(c.B, 1), number(c.CC, 1), number(c.X, 2), number(c.SP, 2);
    number(c.PC, 2), number(static_cast<std::uint8_t>(c.instructionSet), 1), number(c.waiting, 1);
    number(c.cycleCount, 8), number(clockCycles, 8), number(sampleCount, 8);
    out.insert(out.end(), board.memory.begin(), board.memory.end());
    out.resize(out.size() + HeatMap::size);
    std::copy(board.heat.begin(), board.heat.end(), out.end() - HeatMap::size); // 0..100 each
    number(crcOf(out.data(), out.size()), 4);
    return out;
}

bool StateFile::decode(const std::uint8_t* bytes, std::size_t size, std::string& reason) {
    // Everything is checked before anything is copied.
    if (size > 0 && std::memcmp(bytes, magic, std::min(size, sizeof magic)) != 0) {
        reason = "not a hummbox state file";
        return false;
    }
    if (size < headerSize) {
        reason = "truncated: " + count(size) + " of " + count(fileSize) + " bytes";
        return false;
    }
    const std::uint64_t version = numberAt(bytes + 8, 2);
    if (version > formatVersion) {
        reason = "made by a newer hummbox (format version " + count(version) + ", this one reads " +
                 count(formatVersion) + ")";
        return false;
    }
    const std::uint64_t length = numberAt(bytes + 10, 4);
    if (version == 0 || length != payloadSize) {
        reason = "impossible: format version " + count(version) + " with " + count(length) +
                 " bytes of state";
        return false;
    }
    if (size != fileSize) {
        reason = (size < fileSize ? "truncated: " : "too long: ") + count(size) + " of " +
                 count(fileSize) + " bytes";
        return false;
    }
    if (numberAt(bytes + fileSize - 4, 4) != crcOf(bytes, fileSize - 4)) {
        reason = "damaged: checksum does not match";
        return false;
    }
    const std::uint8_t* p = bytes + headerSize;
    const std::uint8_t set = p[9], waiting = p[10];
    const std::uint8_t* memory = p + 35;
    const std::uint8_t* heat = memory + Mc6802::memorySize;
    const std::uint8_t* hot =
        std::find_if(heat, heat + HeatMap::size, [](std::uint8_t h) { return h > HeatMap::max; });
    std::string why;
    if (set > static_cast<std::uint8_t>(InstructionSet::Complete))
        why = "impossible: instruction set " + count(set);
    else if (waiting > 1)
        why = "impossible: waiting flag " + count(waiting);
    else if (waiting == 1 && set == 0)
        why = "impossible: waiting after WAI in the board's set";
    else if (hot != heat + HeatMap::size)
        why = "impossible: heat " + count(*hot) + " at " + count(std::size_t(hot - heat));
    if (!why.empty()) {
        reason = why;
        return false;
    }

    Mc6802& c = board.cpu;
    c.A = p[0], c.B = p[1], c.CC = p[2];
    c.X = static_cast<std::uint16_t>(numberAt(p + 3, 2));
    c.SP = static_cast<std::uint16_t>(numberAt(p + 5, 2));
    c.PC = static_cast<std::uint16_t>(numberAt(p + 7, 2));
    c.instructionSet = static_cast<InstructionSet>(set);
    c.waiting = waiting == 1;
    c.cycleCount = numberAt(p + 11, 8);
    clockCycles = numberAt(p + 19, 8);
    sampleCount = numberAt(p + 27, 8);
    std::copy(memory, heat, board.memory.begin());
    std::copy(heat, heat + HeatMap::size, board.heat.begin());
    return true;
}

bool StateFile::save(const std::string& path, std::string& error) const {
    const std::vector<std::uint8_t> bytes = encode();
    const auto fail = [&](const std::string& reason) {
        error = reason + ": cannot save to " + path;
        return false;
    };
    ReplacingFile file; // removes its temporary file unless committed
    std::string ignored;
    if (!file.open(path, ignored)) return fail(file.reason());
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(file.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? std::strerror(errno) : "nothing written");
        done += static_cast<std::size_t>(n);
    }
    return file.commit(ignored) || fail(file.reason());
}

bool StateFile::load(const std::string& path, std::string& error) {
    // One byte more than a state holds tells a longer file without reading all of it.
    std::vector<std::uint8_t> bytes(fileSize + 1);
    std::size_t size = 0;
    int failure = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        size = std::fread(bytes.data(), 1, bytes.size(), file);
        if (std::ferror(file)) failure = errno;
        std::fclose(file);
    } else {
        failure = errno;
    }
    std::string reason = failure != 0 ? std::strerror(failure) : "";
    if (failure == 0 && decode(bytes.data(), size, reason)) return true;
    error = reason + ": cannot load " + path;
    return false;
}
