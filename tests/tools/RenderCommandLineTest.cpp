#pragma GCC diagnostic ignored "-Wmaybe-uninitialized" // GCC 12's false alarm in <regex>

#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "capture/TraceWriter.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"
#include "tests/support/ScratchDir.h"
#include "tools/render/RenderOptions.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <map>
#include <regex>

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The words, split at spaces, as hummbox-render's command line.
RenderCommandLine parse(const std::string& words) {
    std::string line = "hummbox-render " + words;
    std::vector<char*> argv;
    for (char* word = std::strtok(line.data(), " "); word; word = std::strtok(nullptr, " "))
        argv.push_back(word);
    argv.push_back(nullptr);
    return RenderCommandLine::parse(int(argv.size() - 1), argv.data());
}

struct Render : ::testing::Test {
    ScratchDir dir;
    void SetUp() override {
        umask(022);
        ScratchDir::write("tune.snd", readRomImage("demo"));
    }
    // hummbox-render's status and stderr; the time limit only ends a run that blocks.
    static std::pair<int, std::string> run(const std::string& args, const char* limits = "") {
        const std::string command =
            limits + ("timeout 600 " HUMMBOX_RENDER_EXE " " + args) + " 2>err.txt";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp("err.txt")};
    }
    static std::map<std::string, std::string> files() {
        std::map<std::string, std::string> all;
        for (const auto& e : std::filesystem::recursive_directory_iterator("."))
            if (e.path() != "./err.txt")
                all[e.path()] = e.is_regular_file() ? slurp(e.path()) : e.is_fifo() ? "|" : "/";
        return all;
    }
};

} // namespace

// Every error: one line on stderr, no file changed, status 2 for the words (read in-process)
// and 1 for the run (under a file-size limit of 1 MiB).
TEST_F(Render, ErrorsAreOneLineAndChangeNoFile) {
    ScratchDir::write("short.snd", std::vector<unsigned char>(100, 1));
    ASSERT_EQ(mkfifo("pipe.wav", 0600), 0);
    std::filesystem::create_symlink("tune.snd", "link.wav");
    std::filesystem::create_hard_link("tune.snd", "hard.wav");
    const std::tuple<const char*, int, const char*> cases[] = {
        // clang-format off
        {"", 2, "no ROM image given"}, {"a.snd b.snd", 2, "one ROM image only, but also got 'b"},
        {"x.snd --speed 0", 2, "--speed must be a whole number from 1 to 100, not '0'"},
        {"x.snd -x 0x65", 2, "--speed"}, {"x.snd -c 256", 2, "--command"},
        {"x.snd -c -1", 2, "--command"}, {"x.snd -c 7.0", 2, "--command"},
        {"x.snd --cpu full", 2, "--cpu must be board or complete"}, {"x.snd -s 3601", 2, "--secon"},
        {"x.snd -s -1", 2, "--seconds must be a time in seconds from 0 to 3600, not '-1'"},
        {"x.snd -s 0.00002", 2, "at least one sample"}, {"x.snd -i 0.5,abc", 2, "--irq-at must"},
        {"x.snd --bogus", 2, "unknown option --bogus"}, {"x.snd --command", 2, "needs a value"},
        {"x.snd --all=9-3", 2, "--all range 9-3 ends before"}, {"x.snd -a3-0x1G", 2, "--all's"},
        {"x.snd --all -c 3", 2, "exclude each other"}, {"x.snd -a -t t", 2, "--all makes many"},
        {"x.snd -a -i 1", 2, "--irq-at does not apply"}, {"x.snd --check", 2, "needs a value"},
        {"x.snd --catalog d -c 1", 2, "excludes --command"}, {"x.snd --check d -a", 2, "--all"},
        {"x.snd --catalog d --check e", 2, "excludes --check"}, {"x.snd --check d -p", 2, "16"}, {"x.snd -f", 2, "--from-command needs"},
        {"--all 1-3 x.snd", 2, "--all's range is written --all=FIRST-LAST, not as a word of"},
        {"pipe.wav", 1, "cannot read pipe.wav: not a regular"}, {"/dev/zero", 1, "not a regular"},
        {"tune.snd -s 10 -o big.wav", 1, "File too large"}, {"tune.snd -s 1 -t t", 1, "too large"},
        {"short.snd", 1, "holds 100 bytes; a ROM image is a file of 2048 bytes or more"},
        {"tune.snd -o pipe.wav", 1, "not a regular"}, {"tune.snd -t pipe.wav", 1, "not a regular"},
        {"tune.snd -a1 -o tune.snd/d", 1, "cannot create directory tune.snd/d"},
        {"tune.snd -t link.wav", 1, "ROM image"}, {"tune.snd -o k -t k", 1, "is the WAV output"},
        {"./tune.snd -o hard.wav", 1, "ROM image"}, {"tune.snd -s 0.02 -o n/a -t t", 1, "n/a"}};
    const auto before = files(); // clang-format on
    for (const auto& [args, want, says] : cases) {
        SCOPED_TRACE(args);
        const RenderCommandLine parsed = parse(args);
        const auto [status, err] =
            want == 2 ? std::pair(parsed.exitStatus, parsed.message) : run(args, "ulimit -f 2048;");
        EXPECT_EQ(status, want);
        EXPECT_EQ(err.rfind("hummbox-render: ", 0), 0u) << err;
        EXPECT_NE(err.find(says), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        EXPECT_TRUE(files() == before);
    }
    EXPECT_EQ(run("--bogus tune.snd"), std::pair(2, parse("--bogus tune.snd").message));
    EXPECT_EQ(parse("-h --bogus").message.rfind("usage: hummbox-render", 0), 0u);
}

// Each row renders 1.5 s twice and compares the samples, unless both read as the same options
// (numbers are decimal or 0x.., never octal). The outputs: a link, dangling at first, which
// stays a link to a file with the umask's mode, and a private file, which keeps its mode.
TEST_F(Render, OptionsTakeEffectAndOutputsKeepLinksAndModes) {
    std::filesystem::create_directory("music");
    std::filesystem::create_symlink("music/a.wav", "a.wav");
    ScratchDir::write("b.wav", {'o', 'l', 'd'}), chmod("b.wav", 0604);
    const std::tuple<std::string, std::string, bool, const char*> cases[] = {
        // clang-format off
        {"-c 010", "-c 10", true, ""}, {"-c 0xA", "--command=0X0a", true, ""},
        {"-s 1", "", false, ""}, {"-c 8", "-c 10", false, ""}, {"-c 1 -f", "-c 1", false, ""},
        {"-c 1 -p", "-c 1", false, ""}, {"-x 038 -c 1", "--speed 38 -c 1", true, ""},
        {"-x 38 -c 1", "-c 1", false, ""}, {"-c 1 --cpu board", "-c 1", true, ""},
        {"-c 1 --cpu complete", "-c 1", false, ""}, {"-c 1", "-c 1 --irq-at 0.3", true, ""},
        {"-c 1 --irq-at 0.5,1", "-c 1 -i 0.5", false, ""},
        {"-i 0.1 -s 0.3", "-s 0.3", true, "1 interrupt(s) not taken: the program kept"},
        {"-c 1 -i 1.6,2", "", true, "2 interrupt(s) not taken: the recording ended"}};
    for (const auto& [args, other, same, says] : cases) { // clang-format on
        SCOPED_TRACE(args + " / " + other);
        const RenderCommandLine one = parse(args + " x"), two = parse(other + " x");
        if (same && one.exitStatus == RenderCommandLine::run && one.options == two.options)
            continue;
        const auto [status, err] = run("tune.snd -q -s 1.5 -o a.wav " + args);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(*says == 0 ? err.empty() : err.find(says) == 16) << err;
        EXPECT_EQ(run("tune.snd -q -s 1.5 -o b.wav " + other).first, 0);
        // Only the samples: libsndfile stamps float WAVs with the time of writing.
        const std::string a = slurp("a.wav"), b = slurp("b.wav");
        EXPECT_EQ(a.substr(a.find("data")) == b.substr(b.find("data")), same);
    }
    struct stat a = {}, b = {};
    lstat("music/a.wav", &a), lstat("b.wav", &b);
    EXPECT_EQ(std::pair(a.st_mode, b.st_mode), std::pair(S_IFREG | 0644u, S_IFREG | 0604u));
    EXPECT_TRUE(std::filesystem::is_symlink("a.wav"));
    const std::string wav = slurp("b.wav"); // 48 kHz mono float, 1.5 s
    std::uint32_t format[4]; // type and channels, rate, bytes a second, block size and bits
    std::memcpy(format, wav.data() + 20, sizeof format);
    EXPECT_EQ(std::tuple(format[0], format[1], format[3]), std::tuple(0x10003u, 48000u, 0x200004u));
    EXPECT_EQ(wav.size(), wav.find("data") + 8 + 72000 * 4);
    // --all=FIRST-LAST renders exactly that range, skipping commands that make no sound.
    EXPECT_EQ(run("tune.snd -q --all=0x0-2 -s 0.5 -o all").first, 0);
    EXPECT_EQ(files().count("./all/tune-002.wav") + files().count("./all/tune-003.wav"), 1u);
    EXPECT_EQ(files().size(), 8u); // two in all/, and no temporary file left
}

// A signal takes the temporary files with it, then ends the run as it would have.
TEST_F(Render, ASignalLeavesNoTemporaryFile) {
    const auto entries = [] { return std::distance(std::filesystem::directory_iterator("."), {}); };
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const pid_t pid = fork();
        if (pid == 0) { // the signal's default action, whatever the test's own is
            std::signal(signal, SIG_DFL);
            execl(HUMMBOX_RENDER_EXE, "hummbox-render", "-s", "3600", "-t", "t", "tune.snd",
                  nullptr);
            _exit(127);
        }
        for (int wait = 0; wait < 2000 && entries() == 1; ++wait)
            usleep(5000); // until the trace's temporary file is there beside the image
        EXPECT_EQ(entries(), 2);
        int status = 0;
        kill(pid, signal), waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(entries(), 1);
    }
}

// --trace writes the lines that T writes in the program for the same run from the reset.
TEST_F(Render, TraceHoldsTheSameLinesAsTheProgramWrites) {
    ASSERT_EQ(run("tune.snd -q -s 0.02 -o a.wav --trace run.txt").first, 0); // one buffer
    Machine m;
    std::ranges::copy(readRomImage("demo"), m.memory.begin() + Mc6802::romBase);
    m.cpu.reset();
    ControlBlock control;
    AudioEngine engine;
    TraceWriter tracer;
    engine.cpu = &m.cpu, engine.control = &control, tracer.attach(engine);
    ASSERT_TRUE(tracer.start());
    control.running = true;
    std::vector<float> out(AudioEngine::bufferFrames);
    audioCallback(&engine, reinterpret_cast<Uint8*>(out.data()), int(out.size() * 4));
    tracer.stop();
    EXPECT_GT(tracer.linesWritten(), 4000u);
    EXPECT_EQ(slurp("run.txt"), slurp("hummbox-trace-001.txt"));
}

// --catalog writes the same files on every run (what they hold: tests/tools/demo_catalogue.py);
// --check finds them equal, names the one command that a changed byte in the laser's code alters
// (at the DAC store of the square wave routine it calls), and refuses a damaged or missing one.
TEST_F(Render, CatalogueIsReproducibleAndCheckNamesTheCommandThatChanged) {
    ASSERT_EQ(run("tune.snd -q --catalog a").first, 0);
    ASSERT_EQ(run("tune.snd -q --catalog b").first, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("a"), {}), 2 + 10 * 3);
    for (const auto& e : std::filesystem::directory_iterator("a"))
        EXPECT_TRUE(slurp(e.path()) == slurp("b" / e.path().filename())) << e.path();

    // The laser (command 5) starts its sweep at delay count 9 instead of 8 (F8E4: ldaa #8).
    std::string image = slurp("tune.snd"), listing = slurp(romListingPath("demo"));
    ASSERT_EQ(image[0xE5], 8);
    image[0xE5] = 9;
    listing.replace(listing.find("F8E4 8608"), 9, "F8E4 8609");
    ScratchDir::write("laser.snd", {image.begin(), image.end()});
    ScratchDir::write("laser.lst", {listing.begin(), listing.end()});
    std::filesystem::create_directory("d");
    ScratchDir::write("d/catalogue.json", {'[', '1', ','});
    const std::tuple<const char*, int, const char*> cases[] = {
        {"tune.snd --check a", 0, "0 of 256 commands differ\n"},
        {"laser.snd --check a", 1,
         "command 5: differs from sample [0-9]+ \\([0-9.]+ s after its interrupt, cycle [0-9]+, "
         "PC F8[0-9A-F]{2} sq1\\+2\\)\n1 of 256 commands differ\n"},
        {"tune.snd --check d", 2, ""},
        {"tune.snd --check e", 2, ""},
        {"tune.snd --catalog tune.snd/a", 2, ""}};
    for (const auto& [args, want, says] : cases) {
        SCOPED_TRACE(args);
        const auto [status, err] = run(std::string(args) + " >out.txt");
        EXPECT_EQ(status, want);
        EXPECT_TRUE(std::regex_match(slurp("out.txt"), std::regex(says))) << slurp("out.txt");
        EXPECT_EQ(err.find('\n'), want == 2 ? err.size() - 1 : std::string::npos) << err;
    }
}
