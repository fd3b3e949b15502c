// hummbox-render: plays a sound ROM offline through the board's audio path and writes WAV.

#include "audio/AudioEngine.h"
#include "audio/OfflineRenderer.h"
#include "capture/ReplacingFile.h"
#include "capture/TraceWriter.h"
#include "capture/WavFile.h"
#include "cpu/Mc6802.h"
#include "rom/RomImage.h"

#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* usage =
    "usage: hummbox-render [options] IMAGE.snd\n"
    "Runs a sound ROM image through the hummbox sound board, as fast as the machine allows,\n"
    "and writes the DAC output as a 48 kHz mono WAV file.\n"
    "\n"
    "  -c, --command N        store N (0-255, decimal or 0x..) at 0x0402 (PIA port B) and raise\n"
    "                         the interrupt, as typing the byte and pressing I would\n"
    "  -i, --irq-at T[,T...]  raise the interrupt at these times, in seconds after reset\n"
    "                         (default with --command: 0). A request is served at the first\n"
    "                         1,024-sample buffer boundary at which the program has interrupts\n"
    "                         unmasked, so one made during the start-up chime waits for its end\n"
    "  -s, --seconds S        length of the recording (default 5; with --all the limit per\n"
    "                         command, default 10)\n"
    "  -x, --speed N          processor cycles per sample, 1-100 (default 19)\n"
    "  -u, --cpu SET          the instruction set: board (the board's 119 opcodes, default) or\n"
    "                         complete (all 197 MC6800 opcodes with the chip's flag rules)\n"
    "  -f, --from-command     start the recording at the first interrupt instead of at reset\n"
    "  -o, --output PATH      the WAV file (default: the image's name with .wav); with --all the\n"
    "                         directory for the files, made if missing (default: the current one)\n"
    "  -a, --all[=FIRST-LAST] render every command 0-255 (or the range) into IMAGE-NNN.wav,\n"
    "                         each from its interrupt until one second without a DAC change or\n"
    "                         the --seconds limit; commands that change nothing are skipped\n"
    "  -t, --trace FILE       also write every instruction run, from the reset on, one line\n"
    "                         each as hummbox's T key does (not with --all)\n"
    "  -p, --pcm16            16-bit PCM samples instead of 32-bit float\n"
    "  -q, --quiet            no progress bar and no summary\n"
    "  -h, --help             this text\n"
    "\n"
    "Numbers are decimal, or hexadecimal after 0x; never octal: 010 is ten.\n";

struct Options {
    std::string image;
    std::optional<int> command;
    std::vector<double> irqAt;
    std::optional<double> seconds;
    int speed = AudioEngine::defaultSpeed;
    InstructionSet cpu = InstructionSet::Board;
    bool fromCommand = false;
    std::string output;
    std::string trace;
    bool all = false;
    int first = 0;
    int last = 255;
    WavFormat format = WavFormat::Float32;
    bool quiet = false;
};

ReplacingFile* unfinished = nullptr; // an output to discard when the run fails

[[noreturn]] void fail(const std::string& message, int status = 1) {
    if (unfinished != nullptr) unfinished->discard(); // exit unwinds nothing
    std::fprintf(stderr, "hummbox-render: %s\n", message.c_str());
    std::exit(status);
}

[[noreturn]] void badArgument(const std::string& message) {
    fail(message + " (see --help)", 2);
}

// Decimal, or hexadecimal after "0x": a leading zero does not make a number octal.
long parseInteger(const std::string& text, const char* what, long low, long high) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* const first = text.data() + (hex ? 2 : 0);
    const char* const last = text.data() + text.size();
    unsigned long value = 0;
    const auto [end, failed] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (first == last || end != last || failed != std::errc{} ||
        value < static_cast<unsigned long>(low) || value > static_cast<unsigned long>(high))
        badArgument(std::string(what) + " must be a whole number from " + std::to_string(low) +
                    " to " + std::to_string(high) + ", not '" + text + "'");
    return static_cast<long>(value);
}

double parseSeconds(const std::string& text, const char* what) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value < 0 ||
        value > 3600)
        badArgument(std::string(what) + " must be a time in seconds from 0 to 3600, not '" + text +
                    "'");
    return value;
}

Options parse(int argc, char** argv) {
    static const option longOptions[] = {{"command", required_argument, nullptr, 'c'},
                                         {"irq-at", required_argument, nullptr, 'i'},
                                         {"seconds", required_argument, nullptr, 's'},
                                         {"speed", required_argument, nullptr, 'x'},
                                         {"cpu", required_argument, nullptr, 'u'},
                                         {"from-command", no_argument, nullptr, 'f'},
                                         {"output", required_argument, nullptr, 'o'},
                                         {"all", optional_argument, nullptr, 'a'},
                                         {"trace", required_argument, nullptr, 't'},
                                         {"pcm16", no_argument, nullptr, 'p'},
                                         {"quiet", no_argument, nullptr, 'q'},
                                         {"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    Options o;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":c:i:s:x:u:fo:a::t:pqh", longOptions, nullptr)) != -1) {
        const std::string arg = optarg ? optarg : "";
        switch (c) {
        case 'c': o.command = static_cast<int>(parseInteger(arg, "--command", 0, 255)); break;
        case 'i': {
            std::stringstream list(arg);
            std::string item;
            while (std::getline(list, item, ','))
                o.irqAt.push_back(parseSeconds(item, "--irq-at"));
            if (o.irqAt.empty()) badArgument("--irq-at needs at least one time");
            break;
        }
        case 's':
            o.seconds = parseSeconds(arg, "--seconds");
            if (*o.seconds * AudioEngine::sampleRate < 1)
                badArgument("--seconds must be at least one sample (1/48000 s), not '" + arg + "'");
            break;
        case 'x':
            o.speed = static_cast<int>(
                parseInteger(arg, "--speed", AudioEngine::minSpeed, AudioEngine::maxSpeed));
            break;
        case 'u':
            if (!parseInstructionSet(arg, o.cpu))
                badArgument("--cpu must be board or complete, not '" + arg + "'");
            break;
        case 'f': o.fromCommand = true; break;
        case 'o':
            if (arg.empty()) badArgument("--output needs a path");
            o.output = arg;
            break;
        case 'a':
            o.all = true;
            if (!arg.empty()) {
                const std::size_t dash = arg.find('-');
                o.first = static_cast<int>(
                    parseInteger(arg.substr(0, dash), "--all's first command", 0, 255));
                o.last = dash == std::string::npos
                             ? o.first
                             : static_cast<int>(parseInteger(arg.substr(dash + 1),
                                                             "--all's last command", 0, 255));
                if (o.last < o.first) badArgument("--all range " + arg + " ends before it starts");
            }
            break;
        case 't':
            if (arg.empty()) badArgument("--trace needs a path");
            o.trace = arg;
            break;
        case 'p': o.format = WavFormat::Pcm16; break;
        case 'q': o.quiet = true; break;
        case 'h': std::fputs(usage, stdout); std::exit(0);
        case ':': badArgument(std::string("option ") + argv[optind - 1] + " needs a value");
        default: badArgument(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    if (optind == argc) badArgument("no ROM image given");
    if (argc - optind > 1)
        badArgument(std::string("one ROM image only, but also got '") + argv[optind + 1] + "'");
    o.image = argv[optind];
    if (o.all && o.command) badArgument("--all and --command exclude each other");
    if (o.all && !o.trace.empty()) badArgument("--trace follows one run; --all makes many");
    if (o.all && !o.irqAt.empty())
        badArgument("--all raises one interrupt per command; --irq-at does not apply");
    return o;
}

RomImage readImage(const std::string& path) {
    RomImage image;
    std::string error;
    if (!RomImage::read(path, image, error)) fail("cannot read " + path + ": " + error);
    if (!image.complete())
        fail(path + " holds " + std::to_string(image.length) +
             " bytes; a ROM image is a file of 2048 bytes or more (only the first 2048 are "
             "read)");
    return image;
}

std::string stem(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string seconds(std::size_t samples) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s",
                  static_cast<double>(samples) / AudioEngine::sampleRate);
    return text;
}

void progress(int done, int total) {
    constexpr int width = 40;
    const int filled = total > 0 ? done * width / total : width;
    std::fprintf(stderr, "\r[%s%s] %d/%d",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), done, total);
    std::fflush(stderr);
}

int renderAll(const Options& o, OfflineRenderer& renderer) {
    const std::string dir = o.output.empty() ? "." : o.output;
    std::error_code failed;
    std::filesystem::create_directories(dir, failed);
    if (failed) fail("cannot create directory " + dir + ": " + failed.message());
    const bool bar = !o.quiet && isatty(STDERR_FILENO);
    const int total = o.last - o.first + 1;
    RenderJob job;
    job.seconds = o.seconds.value_or(10.0);
    job.speed = o.speed;
    job.interruptTimes = {0.0};
    job.fromFirstInterrupt = true;
    job.stopWhenSteady = 1.0;
    std::vector<std::string> lines;
    for (int command = o.first; command <= o.last; ++command) {
        if (bar) progress(command - o.first, total);
        job.command = command;
        const RenderResult result = renderer.render(job);
        if (result.interruptsMissed > 0) {
            if (bar) std::fputc('\n', stderr);
            fail("the program never unmasked interrupts, so no command can be played");
        }
        if (!result.changed) continue;
        char name[16];
        std::snprintf(name, sizeof name, "-%03d.wav", command);
        const std::string path = dir + "/" + stem(o.image) + name;
        std::string error;
        if (sameFile(path, o.image)) error = "cannot write " + path + ": it is the ROM image";
        if (!error.empty() || !writeWav(path, result.samples, o.format, error)) {
            if (bar) std::fputc('\n', stderr);
            fail(error);
        }
        lines.push_back(path + ": sound for " + seconds(result.lastChange + 1) + ", " +
                        seconds(result.samples.size()) + " written");
    }
    if (bar) {
        progress(total, total);
        std::fputc('\n', stderr);
    }
    if (!o.quiet) {
        for (const std::string& line : lines)
            std::printf("%s\n", line.c_str());
        std::printf("%zu of %d commands made a sound\n", lines.size(), total);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    const RomImage image = readImage(o.image);
    auto renderer = std::make_unique<OfflineRenderer>();
    renderer->board.cpu.instructionSet = o.cpu; // the reset of the load keeps it
    renderer->loadImage(image.bytes.data());
    if (o.all) return renderAll(o, *renderer);

    RenderJob job;
    job.seconds = o.seconds.value_or(5.0);
    job.speed = o.speed;
    job.command = o.command.value_or(-1);
    job.interruptTimes = o.irqAt;
    if (o.command && job.interruptTimes.empty()) job.interruptTimes = {0.0};
    job.fromFirstInterrupt = o.fromCommand;
    if (o.fromCommand && job.interruptTimes.empty())
        badArgument("--from-command needs --command or --irq-at");

    const std::string output = o.output.empty() ? stem(o.image) + ".wav" : o.output;
    if (sameFile(output, o.image)) fail("cannot write " + output + ": it is the ROM image");
    // The trace streams into a file of its own, put in place beside the WAV at the end.
    ReplacingFile trace;
    std::string error;
    TraceWriter tracer(OfflineRenderer::traceRecords);
    tracer.attach(renderer->engine);
    if (!o.trace.empty()) {
        if (sameFile(o.trace, o.image)) fail("cannot write " + o.trace + ": it is the ROM image");
        if (o.trace == output || sameFile(o.trace, output))
            fail("cannot write " + o.trace + ": it is the WAV output");
        if (!trace.open(o.trace, error)) fail(error);
        unfinished = &trace;
        if (!tracer.startOffline(dup(trace.fd()), o.trace)) fail(tracer.error());
        renderer->afterBuffer = [&] { tracer.drain(); };
    }
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    const RenderResult result = renderer->render(job);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (o.fromCommand && result.interruptSamples.empty())
        fail(result.interruptsMissed > 0
                 ? "the program never unmasked interrupts; nothing recorded"
                 : "no interrupt came due within the " + std::to_string(int(job.bootLimit)) +
                       " s that --from-command waits; nothing recorded");
    if (!o.trace.empty() && !tracer.stop()) fail(tracer.error());
    if (tracer.itemsDropped() > 0)
        fail("the trace lost " + std::to_string(tracer.itemsDropped()) + " instructions");
    if (!writeWav(output, result.samples, o.format, error)) fail(error);
    if (!o.trace.empty() && !trace.commit(error)) fail(error);
    if (result.interruptsMissed > 0)
        std::fprintf(stderr,
                     "hummbox-render: %zu interrupt(s) not taken: the program kept them masked\n",
                     result.interruptsMissed);
    if (result.interruptsLate > 0)
        std::fprintf(stderr,
                     "hummbox-render: %zu interrupt(s) not taken: the recording ended (after %s) "
                     "before they came due at a 1,024-sample buffer boundary\n",
                     result.interruptsLate, seconds(result.samples.size()).c_str());
    if (!o.quiet) {
        const double audio = static_cast<double>(result.samples.size()) / AudioEngine::sampleRate;
        std::printf("%s: %s written; rendered in %.3f s of processor time (%.0fx real time), %.3f "
                    "s wall clock\n",
                    output.c_str(), seconds(result.samples.size()).c_str(), cpu,
                    cpu > 0 ? audio / cpu : 0.0, wall);
    }
    return 0;
}
