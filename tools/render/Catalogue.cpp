#include "tools/render/Catalogue.h"

#include "capture/ReplacingFile.h"
#include "capture/WavFile.h"
#include "catalog/Pictures.h"
#include "catalog/Sha256.h"
#include "debug/Labels.h"
#include "debug/TraceRing.h"

#include <nlohmann/json.hpp>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr int commands = 256;
constexpr double steadySeconds = 1.0; // a sound has ended after this long without a change

// An instruction that stored into the DAC: the cycles at which it began and ended, and where.
struct DacWrite {
    std::uint64_t start;
    std::uint64_t end;
    std::uint16_t pc;
};

// Whether a traced instruction wrote the DAC at 0x0400: a store (STAA, STAB, STS, STX) or a
// read-modify-write or CLR, indexed or extended (a direct address cannot reach it).
bool writesDac(const TraceRecord& r) {
    const int op = r.bytes[0], high = op >> 4, low = op & 0x0F;
    const bool indexed = high == 0x6 || high == 0xA || high == 0xE;
    if (!indexed && high != 0x7 && high != 0xB && high != 0xF) return false;
    // NEG COM LSR ROR ASR ASL ROL DEC INC CLR; the 16-bit stores write two bytes.
    constexpr std::uint16_t modifies = 0b1001'0111'1101'1001;
    const bool wide = high >= 0xA && low == 0xF;
    if (high <= 0x7 ? (modifies >> low & 1) == 0 : low != 0x7 && !wide) return false;
    const unsigned at = indexed ? (r.x + r.bytes[1]) & 0xFFFFu : r.bytes[1] << 8 | r.bytes[2];
    return at == Mc6802::dacAddress || (wide && at + 1 == Mc6802::dacAddress);
}

// One command's run as the catalogue keeps it.
struct Sound {
    std::vector<float> samples;
    std::size_t length = 0; // samples up to and including the last DAC change; 0: silent
    const char* verdict = "silent";
    std::uint64_t cycles = 0; // from the interrupt until its routine returned
    int stackDepth = 0;
    std::uint64_t startCycle = 0; // the clock at the interrupt
    std::vector<DacWrite> writes;

    // The last DAC write that sample i (or, past the end, the last sample) can show.
    const DacWrite* writeBefore(std::size_t i, int speed) const {
        const std::uint64_t at = startCycle + (i + 1) * static_cast<std::uint64_t>(speed);
        const auto after = std::partition_point(writes.begin(), writes.end(),
                                                [at](const DacWrite& w) { return w.start < at; });
        return after == writes.begin() ? nullptr : &*(after - 1);
    }
};

[[noreturn]] void quit(int status, const std::string& message) {
    std::fprintf(stderr, "hummbox-render: %s\n", message.c_str());
    std::exit(status);
}

// Renders the commands one by one as --all does, tracing the instructions from the
// interrupt on: until its routine returns (an RTI back to the stack pointer it interrupted)
// for the cycles and the stack depth, and to the end of the run for the DAC writes when
// writes is asked for. Untraced, the processor runs several times as fast.
class Renderer {
  public:
    Renderer(const RenderOptions& o, OfflineRenderer& offline, bool writes)
        : renderer(offline), followWrites(writes) {
        job.seconds = o.seconds.value_or(10.0);
        job.speed = o.speed;
        job.interruptTimes = {0.0};
        job.fromFirstInterrupt = true;
        job.stopWhenSteady = steadySeconds;
        renderer.afterBuffer = [this] { drain(); };
        bar = !o.quiet && isatty(STDERR_FILENO);
    }
    ~Renderer() {
        renderer.engine.traceTap = nullptr;
        renderer.afterBuffer = nullptr;
    }

    Sound render(int command) {
        if (bar) std::fprintf(stderr, "\r%d/%d", command, commands);
        job.command = command;
        lowestSp = 0xFFFF;
        lastEnd = 0;
        returnedAt = 0;
        writes.clear();
        renderer.engine.traceTap = nullptr; // until the buffer that takes the interrupt
        const RenderResult result = renderer.render(job);
        if (bar && command + 1 == commands) std::fputs("\r        \r", stderr);
        if (result.interruptsMissed > 0 || result.interruptSamples.empty())
            quit(1, "the program never unmasked interrupts, so no command can be played");
        if (ring.dropped() > 0) quit(1, "the trace lost instructions");
        Sound sound;
        sound.startCycle = renderer.recordingStart.cycle;
        sound.stackDepth = std::max(0, renderer.recordingStart.sp - int(lowestSp));
        sound.cycles = returnedAt > 0 ? returnedAt - sound.startCycle
                                      : result.samples.size() * std::uint64_t(job.speed);
        sound.writes = writes;
        if (result.changed) {
            sound.length = result.lastChange + 1;
            const std::size_t steady =
                static_cast<std::size_t>(steadySeconds * AudioEngine::sampleRate);
            sound.verdict = result.samples.size() - sound.length >= steady ? "ends" : "runs-on";
        }
        sound.samples = std::move(result.samples);
        return sound;
    }

  private:
    void drain() {
        const OfflineRenderer::RecordingStart& start = renderer.recordingStart;
        std::size_t n;
        while ((n = ring.pop(batch.data(), batch.size())) > 0) {
            if (lastEnd == 0) lastEnd = start.cycle;
            for (const TraceRecord& r : std::span(batch.data(), n)) {
                if (r.interrupt) continue; // the instructions alone
                if (returnedAt == 0) {
                    lowestSp = std::min(lowestSp, r.sp);
                    if (r.bytes[0] == rti && r.sp == start.sp) returnedAt = r.cycles;
                }
                if (followWrites && writesDac(r)) writes.push_back({lastEnd, r.cycles, r.pc});
                lastEnd = r.cycles;
            }
        }
        // The next buffer takes the interrupt when the program has it unmasked now.
        if (!start.started && renderer.interruptsOpen()) renderer.engine.traceTap = &ring;
        if (start.started && returnedAt > 0 && !followWrites) renderer.engine.traceTap = nullptr;
    }

    static constexpr std::uint8_t rti = 0x3B;
    OfflineRenderer& renderer;
    const bool followWrites;
    RenderJob job;
    TraceRing ring{OfflineRenderer::traceRecords};
    std::vector<TraceRecord> batch = std::vector<TraceRecord>(4096);
    std::uint16_t lowestSp = 0xFFFF;
    std::uint64_t lastEnd = 0;    // where the last traced instruction ended
    std::uint64_t returnedAt = 0; // where the interrupt's routine returned; 0: not yet
    std::vector<DacWrite> writes;
    bool bar = false;
};

std::string baseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string fileName(int command, const char* suffix) {
    return format("%03d%s", command, suffix);
}

double secondsOf(std::size_t samples) {
    return static_cast<double>(samples) / AudioEngine::sampleRate;
}

// The page: the image, then each sound with its player and pictures, then the silent ones.
std::string indexPage(const RenderOptions& o, const std::string& digest,
                      const nlohmann::ordered_json& records) {
    const std::string name = escapeHtml(baseName(o.image));
    std::ostringstream page;
    page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" << name
         << ": sounds</title>\n<style>\n"
         << "body { font-family: sans-serif; background: #f4f4f0; color: #222; margin: 2em; }\n"
         << "section { background: #fff; padding: 0.5em 1em 1em; margin: 1em 0; }\n"
         << "img { display: block; margin-top: 0.5em; max-width: 100%; }\n"
         << "img.spectrogram { width: 800px; image-rendering: pixelated; }\n"
         << "code { font-size: 1.1em; }\n</style>\n</head>\n<body>\n<h1>" << name
         << "</h1>\n<p>SHA-256 <code>" << digest << "</code></p>\n"
         << format("<p>%d processor cycles a sample, each command from its interrupt until "
                   "%.0f s without a DAC change or %g s.</p>\n",
                   o.speed, steadySeconds, o.seconds.value_or(10.0));
    std::string silent;
    for (int command = 0; command < commands; ++command) {
        const auto& r = records[static_cast<std::size_t>(command)];
        if (r["verdict"] == "silent") {
            const bool follows = command > 0 && records[command - 1u]["verdict"] == "silent";
            const bool continues =
                command + 1 < commands && records[command + 1u]["verdict"] == "silent";
            if (!follows)
                silent += (silent.empty() ? "" : ", ") + std::to_string(command);
            else if (!continues)
                silent += "&ndash;" + std::to_string(command);
            continue;
        }
        const std::string wav = r["wav"], wave = r["waveform"], spectrum = r["spectrogram"];
        const std::size_t length = r["samples"];
        const PictureSize w = waveformSize(length), s = spectrogramSize(length);
        page << format("<section id=\"command-%d\">\n<h2>Command %d (0x%02X)</h2>\n", command,
                       command, command)
             << format("<p>%s, %.3f s, %llu cycles, %d bytes of stack</p>\n",
                       std::string(r["verdict"]).c_str(), double(r["seconds"]),
                       static_cast<unsigned long long>(r["cycles"]), int(r["stackDepth"]))
             << "<audio controls preload=\"none\" src=\"" << wav << "\"></audio>\n"
             << format("<img src=\"%s\" width=\"%d\" height=\"%d\" alt=\"waveform of command "
                       "%d\">\n<img class=\"spectrogram\" src=\"%s\" width=\"%d\" height=\"%d\" "
                       "alt=\"spectrogram of "
                       "command %d\">\n</section>\n",
                       wave.c_str(), w.width, w.height, command, spectrum.c_str(), s.width,
                       s.height, command);
    }
    page << "<p>Silent (no DAC change): " << (silent.empty() ? "none" : silent) << "</p>\n"
         << "</body>\n</html>\n";
    return page.str();
}

// The samples of a catalogue's WAV file.
bool readWav(const std::string& path, std::vector<float>& samples, std::string& error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr || info.channels != 1 || info.samplerate != AudioEngine::sampleRate) {
        error = "cannot read " + path + ": " +
                (file == nullptr ? sf_strerror(nullptr) : "not a 48 kHz mono WAV file");
        if (file != nullptr) sf_close(file);
        return false;
    }
    samples.resize(static_cast<std::size_t>(info.frames));
    const bool read = sf_readf_float(file, samples.data(), info.frames) == info.frames;
    sf_close(file);
    if (!read) error = "cannot read " + path + ": it ends early";
    return read;
}

// A record is damaged unless it holds what --catalog writes: the command in its place, a
// known verdict, a length, and for a sound the plain name of its WAV file.
std::string recordFault(const nlohmann::json& r, int command) {
    if (!r.is_object()) return "is not an object";
    if (!r.contains("command") || r["command"] != command) return "is not for its command";
    if (!r.contains("verdict") || !r["verdict"].is_string()) return "has no verdict";
    const std::string verdict = r["verdict"];
    if (verdict != "silent" && verdict != "ends" && verdict != "runs-on")
        return "has the verdict '" + verdict + "'";
    if (!r.contains("samples") || !r["samples"].is_number_unsigned()) return "has no length";
    if (verdict == "silent") return "";
    if (!r.contains("wav") || !r["wav"].is_string()) return "names no WAV file";
    const std::string wav = r["wav"];
    if (wav.empty() || wav.find('/') != std::string::npos || wav[0] == '.')
        return "names a WAV file outside the catalogue";
    return "";
}

} // namespace

int writeCatalogue(const RenderOptions& o, OfflineRenderer& offline) {
    const std::string& dir = o.catalog;
    std::error_code failed;
    std::filesystem::create_directories(dir, failed);
    if (failed) quit(2, "cannot create directory " + dir + ": " + failed.message());
    std::string error, digest;
    // Opened first, so that a directory that cannot be written stops the run before it renders.
    ReplacingFile probe;
    if (!probe.open(dir + "/catalogue.json", error)) quit(2, error);
    if (!sha256OfFile(o.image, digest, error)) quit(1, error);
    Renderer renderer(o, offline, false);
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    int sounds = 0;
    for (int command = 0; command < commands; ++command) {
        const Sound sound = renderer.render(command);
        nlohmann::ordered_json r = {{"command", command},
                                    {"verdict", sound.verdict},
                                    {"seconds", secondsOf(sound.length)},
                                    {"samples", sound.length},
                                    {"cycles", sound.cycles},
                                    {"stackDepth", sound.stackDepth}};
        if (sound.length > 0) {
            ++sounds;
            r["wav"] = fileName(command, ".wav");
            r["waveform"] = fileName(command, "-waveform.png");
            r["spectrogram"] = fileName(command, "-spectrogram.png");
            const std::string at = dir + "/";
            if (!writeWav(at + std::string(r["wav"]), sound.samples, WavFormat::Float32, error) ||
                !writeWaveform(at + std::string(r["waveform"]), sound.samples, sound.length,
                               error) ||
                !writeSpectrogram(at + std::string(r["spectrogram"]), sound.samples, sound.length,
                                  error))
                quit(2, error);
        }
        records.push_back(std::move(r));
    }
    probe.discard();
    const std::string json = records.dump(2) + "\n";
    const std::string page = indexPage(o, digest, records);
    if (!writeWholeFile(dir + "/catalogue.json", json.data(), json.size(), error) ||
        !writeWholeFile(dir + "/index.html", page.data(), page.size(), error))
        quit(2, error);
    if (!o.quiet)
        std::printf("%s: %d sounds and %d silent commands catalogued\n", dir.c_str(), sounds,
                    commands - sounds);
    return 0;
}

int checkCatalogue(const RenderOptions& o, OfflineRenderer& offline, const RomImage& image) {
    const std::string& dir = o.check;
    const std::string path = dir + "/catalogue.json";
    std::ifstream in(path, std::ios::binary);
    if (!in) quit(2, dir + " holds no catalogue: cannot read " + path);
    nlohmann::json records;
    try {
        records = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        quit(2, path + " is damaged: " + e.what());
    }
    if (!records.is_array() || records.size() != commands)
        quit(2, path + " is damaged: it is not a list of " + std::to_string(commands) + " records");
    for (int command = 0; command < commands; ++command) {
        const nlohmann::json& r = records[static_cast<std::size_t>(command)];
        const std::string fault = recordFault(r, command);
        if (!fault.empty())
            quit(2, path + " is damaged: the record for command " + std::to_string(command) + " " +
                        fault);
        if (r["verdict"] != "silent" &&
            !std::filesystem::is_regular_file(dir + "/" + std::string(r["wav"])))
            quit(2, dir + "/" + std::string(r["wav"]) + " is missing");
    }
    Labels labels;
    labels.load(o.image, image.bytes.data());
    Renderer renderer(o, offline, true);
    int differing = 0;
    std::vector<float> before;
    std::string error;
    for (int command = 0; command < commands; ++command) {
        const nlohmann::json& r = records[static_cast<std::size_t>(command)];
        Sound now = renderer.render(command);
        before.clear();
        if (r["verdict"] != "silent" && !readWav(dir + "/" + std::string(r["wav"]), before, error))
            quit(2, error);
        if (now.length == 0) now.samples.clear(); // a silent command keeps no samples
        const std::size_t common = std::min(before.size(), now.samples.size());
        const auto [a, b] = std::mismatch(before.begin(), before.begin() + std::ptrdiff_t(common),
                                          now.samples.begin());
        std::size_t first = static_cast<std::size_t>(a - before.begin());
        const std::size_t kept = r["samples"];
        if (first == common && before.size() == now.samples.size()) {
            if (r["verdict"] == now.verdict && kept == now.length) continue;
            first = std::min(kept, now.length); // the same samples, told apart by the verdict
        }
        ++differing;
        std::string where = "none";
        if (const DacWrite* w = now.writeBefore(first, o.speed)) {
            where = format("%04X", w->pc);
            const std::string label = labels.containing(w->pc);
            if (!label.empty()) where += " " + label;
            where = format("cycle %llu, PC ",
                           static_cast<unsigned long long>(w->end - now.startCycle)) +
                    where;
        } else {
            where = "no DAC write before it";
        }
        std::printf("command %d: differs from sample %zu (%.5f s after its interrupt, %s)\n",
                    command, first, secondsOf(first), where.c_str());
    }
    std::printf("%d of %d commands differ\n", differing, commands);
    return differing > 0 ? 1 : 0;
}
