#include "tools/render/RenderOptions.h"

#include "ui/Version.h"

#include <getopt.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

constexpr const char* usage =
    "usage: hummbox-render [options] IMAGE.snd\n"
    "Runs a sound ROM image through the hummbox sound board, as fast as the machine allows,\n"
    "and writes the DAC output as a 48 kHz mono WAV file.\n"
    "\n"
    "  -c, --command N        store N (0-255, decimal or 0x..) at 0x0402 (PIA port B) and raise\n"
    "                         the interrupt, as typing S and the byte does in hummbox, except\n"
    "                         that a request made while the program masks interrupts is held\n"
    "                         (see --irq-at), where hummbox drops it unless told irq hold\n"
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
    "      --catalog DIR      render every command as --all does and write into DIR (made if\n"
    "                         missing) a WAV, a waveform and a spectrogram (PNG) of each sound,\n"
    "                         catalogue.json (one record per command: its verdict, length,\n"
    "                         cycles and stack depth) and index.html, a page that plays them\n"
    "      --check DIR        render every command as --catalog does and compare the samples\n"
    "                         with DIR's catalogue: one line for each command that differs,\n"
    "                         where and at which instruction; exit 0 when none, 1 when some\n"
    "  -t, --trace FILE       also write every instruction run, from the reset on, one line\n"
    "                         each as hummbox's T key does (not with --all)\n"
    "  -p, --pcm16            16-bit PCM samples instead of 32-bit float\n"
    "  -q, --quiet            no progress bar and no summary\n"
    "  -h, --help             this text\n"
    "      --version          the version\n"
    "\n"
    "Numbers are decimal, or hexadecimal after 0x; never octal: 010 is ten.\n";

RenderCommandLine done(int status, const std::string& message) {
    RenderCommandLine result;
    result.exitStatus = status;
    result.message = message;
    return result;
}

RenderCommandLine fail(const std::string& message) {
    return done(2, "hummbox-render: " + message + " (see --help)\n");
}

// Decimal, or hexadecimal after "0x": a leading zero does not make a number octal. Anything
// else, or a number out of range, is said in error (unless it already holds a fault).
long parseInteger(const std::string& text, const char* what, long low, long high,
                  std::string& error) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* const first = text.data() + (hex ? 2 : 0);
    const char* const last = text.data() + text.size();
    unsigned long value = 0;
    const auto [end, failed] = std::from_chars(first, last, value, hex ? 16 : 10);
    if ((first == last || end != last || failed != std::errc{} ||
         value < static_cast<unsigned long>(low) || value > static_cast<unsigned long>(high)) &&
        error.empty())
        error = std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not '" + text + "'";
    return static_cast<long>(value);
}

double parseSeconds(const std::string& text, const char* what, std::string& error) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if ((text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value < 0 ||
         value > 3600) &&
        error.empty())
        error = std::string(what) + " must be a time in seconds from 0 to 3600, not '" + text + "'";
    return value;
}

// A word such as 1-3, 7 or 0x10-0x1f: what --all's range looks like.
bool looksLikeRange(const std::string& word) {
    return !word.empty() && word[0] >= '0' && word[0] <= '9' &&
           word.find_first_not_of("0123456789abcdefABCDEFxX-") == std::string::npos;
}

// --catalog and --check have no short form.
constexpr int catalogKey = 256, checkKey = 257, versionKey = 258;

} // namespace

RenderCommandLine RenderCommandLine::parse(int argc, char* const* argv) {
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
                                         {"version", no_argument, nullptr, versionKey},
                                         {"catalog", required_argument, nullptr, catalogKey},
                                         {"check", required_argument, nullptr, checkKey},
                                         {nullptr, 0, nullptr, 0}};
    RenderCommandLine result;
    RenderOptions& o = result.options;
    std::string error;
    std::string rangeAfterAll; // the word after a bare --all, when it looks like its range
    optind = 0;                // a fresh scan, whatever an earlier parse left behind
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":c:i:s:x:u:fo:a::t:pqh", longOptions, nullptr)) != -1) {
        const std::string arg = optarg ? optarg : "";
        switch (c) {
        case 'c':
            o.command = static_cast<int>(parseInteger(arg, "--command", 0, 255, error));
            break;
        case 'i': {
            std::stringstream list(arg);
            std::string item;
            while (std::getline(list, item, ','))
                o.irqAt.push_back(parseSeconds(item, "--irq-at", error));
            if (o.irqAt.empty()) return fail("--irq-at needs at least one time");
            break;
        }
        case 's':
            o.seconds = parseSeconds(arg, "--seconds", error);
            if (error.empty() && *o.seconds * AudioEngine::sampleRate < 1)
                error = "--seconds must be at least one sample (1/48000 s), not '" + arg + "'";
            break;
        case 'x':
            o.speed = static_cast<int>(
                parseInteger(arg, "--speed", AudioEngine::minSpeed, AudioEngine::maxSpeed, error));
            break;
        case 'u':
            if (!parseInstructionSet(arg, o.cpu))
                error = "--cpu must be board or complete, not '" + arg + "'";
            break;
        case 'f': o.fromCommand = true; break;
        case 'o':
            if (arg.empty()) return fail("--output needs a path");
            o.output = arg;
            break;
        case 'a':
            o.all = true;
            if (optarg == nullptr && optind < argc && looksLikeRange(argv[optind]))
                rangeAfterAll = argv[optind];
            if (!arg.empty()) {
                const std::size_t dash = arg.find('-');
                o.first = static_cast<int>(
                    parseInteger(arg.substr(0, dash), "--all's first command", 0, 255, error));
                o.last = dash == std::string::npos
                             ? o.first
                             : static_cast<int>(parseInteger(
                                   arg.substr(dash + 1), "--all's last command", 0, 255, error));
                if (error.empty() && o.last < o.first)
                    error = "--all range " + arg + " ends before it starts";
            }
            break;
        case 't':
            if (arg.empty()) return fail("--trace needs a path");
            o.trace = arg;
            break;
        case 'p': o.format = WavFormat::Pcm16; break;
        case 'q': o.quiet = true; break;
        case 'h': return done(0, usage);
        case versionKey: return done(0, "hummbox-render " HUMMBOX_VERSION "\n");
        case catalogKey:
        case checkKey:
            if (arg.empty()) return fail(std::string(argv[optind - 1]) + " needs a directory");
            (c == catalogKey ? o.catalog : o.check) = arg;
            break;
        case ':': return fail(std::string("option ") + argv[optind - 1] + " needs a value");
        default: return fail(std::string("unknown option ") + argv[optind - 1]);
        }
        if (!error.empty()) return fail(error);
    }
    if (optind == argc) return fail("no ROM image given");
    if (argc - optind > 1 && !rangeAfterAll.empty())
        return fail("--all's range is written --all=FIRST-LAST, not as a word of its own ('" +
                    rangeAfterAll + "')");
    if (argc - optind > 1)
        return fail(std::string("one ROM image only, but also got '") + argv[optind + 1] + "'");
    o.image = argv[optind];
    if (!o.catalog.empty() || !o.check.empty()) {
        const std::string mode = o.catalog.empty() ? "--check" : "--catalog";
        const std::pair<bool, const char*> excluded[] = {
            {!o.catalog.empty() && !o.check.empty(), "--check"},
            {o.command.has_value(), "--command"},
            {!o.trace.empty(), "--trace"},
            {!o.irqAt.empty(), "--irq-at"},
            {!o.output.empty(), "--output"},
            {o.all, "--all"},
            {o.fromCommand, "--from-command"},
            {o.format == WavFormat::Pcm16, "--pcm16"}};
        for (const auto& [given, name] : excluded)
            if (given)
                return fail(mode +
                            " renders every command from its interrupt into float WAVs "
                            "of its own; it excludes " +
                            name);
    }
    if (o.all && o.command) return fail("--all and --command exclude each other");
    if (o.all && !o.trace.empty()) return fail("--trace follows one run; --all makes many");
    if (o.all && !o.irqAt.empty())
        return fail("--all raises one interrupt per command; --irq-at does not apply");
    if (!o.all && o.fromCommand && !o.command && o.irqAt.empty())
        return fail("--from-command needs --command or --irq-at");
    return result;
}
