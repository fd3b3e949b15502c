#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "capture/TraceWriter.h"
#include "tests/support/Machine.h"
#include "tests/support/RomImage.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <map>

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Render : ::testing::Test {
    ScratchDir dir;
    void SetUp() override {
        umask(022);
        ScratchDir::write("tune.snd", readRomImage("demo"));
    }
    static std::pair<int, std::string> run(const std::string& args) {
        const std::string command = HUMMBOX_RENDER_EXE " " + args + " 2>err.txt";
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

// Every error: one line on stderr, status 2 (command line) or 1 (run), and no file changed.
TEST_F(Render, ErrorsAreOneLineAndChangeNoFile) {
    ScratchDir::write("keep.wav", {'o', 'l', 'd'});
    ScratchDir::write("short.snd", std::vector<unsigned char>(100, 1));
    std::filesystem::create_directory("sub.wav");
    ASSERT_EQ(mkfifo("pipe.wav", 0600), 0);
    std::filesystem::create_symlink("tune.snd", "link.wav");
    std::filesystem::create_hard_link("tune.snd", "hard.wav");
    const struct {
        std::string args;
        int status;
        std::string says;
    } cases[] = {{"", 2, "no ROM image"},
                 {"tune.snd tune.snd", 2, "one ROM image only"},
                 {"missing.snd -o keep.wav", 1, "cannot read missing.snd"},
                 {"short.snd -o keep.wav", 1, "holds 100 bytes"},
                 {". -o keep.wav", 1, "cannot read ."},
                 {"tune.snd --speed 0", 2, "--speed"},
                 {"tune.snd --speed 0x65 -o keep.wav", 2, "--speed"},
                 {"tune.snd --command 256", 2, "--command"},
                 {"tune.snd -c -1", 2, "--command"},
                 {"tune.snd -c ' 7'", 2, "--command"},
                 {"tune.snd -c 7.0", 2, "--command"},
                 {"tune.snd --cpu full -o keep.wav", 2, "--cpu must be board or complete"},
                 {"tune.snd --seconds -1", 2, "--seconds"},
                 {"tune.snd -s 0.00002 -o keep.wav", 2, "--seconds"},
                 {"tune.snd --irq-at 0.5,abc", 2, "--irq-at"},
                 {"tune.snd --irq-at -0.5", 2, "--irq-at"},
                 {"tune.snd --bogus", 2, "unknown option --bogus"},
                 {"tune.snd --command", 2, "needs a value"},
                 {"tune.snd --all=9-3", 2, "ends before it starts"},
                 {"tune.snd --all=3-0x1G", 2, "--all"},
                 {"tune.snd --all --command 3", 2, "exclude each other"},
                 {"tune.snd --from-command", 2, "needs --command"},
                 {"tune.snd -c 1 -o no/such/dir/out.wav", 1, "cannot write no/such/dir/out.wav"},
                 {"tune.snd -c 1 -o sub.wav", 1, "not a regular file"},
                 {"tune.snd -c 1 -o pipe.wav", 1, "not a regular file"},
                 {"tune.snd --all=1 -o keep.wav/dir", 1, "cannot create directory keep.wav/dir"},
                 {"tune.snd -o tune.snd", 1, "ROM image"},
                 {"tune.snd -o link.wav", 1, "ROM image"},
                 {"./tune.snd -o hard.wav", 1, "ROM image"},
                 {"tune.snd -o keep.wav --trace link.wav", 1, "ROM image"},
                 {"tune.snd -o keep.wav --trace keep.wav", 1, "it is the WAV output"},
                 {"tune.snd -o keep.wav --trace pipe.wav", 1, "not a regular file"},
                 {"tune.snd -o no/such/dir/out.wav --trace t.txt", 1, "cannot write no/such"},
                 {"tune.snd --all --trace t.txt", 2, "--all makes many"}};
    const auto before = files();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto [status, err] = run(c.args);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(err.rfind("hummbox-render: ", 0), 0u) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        EXPECT_TRUE(files() == before);
    }
}

// Numbers are decimal or 0x.., never octal; each row renders 1.5 s twice and compares samples.
TEST_F(Render, NumbersAndOptionsTakeEffect) {
    const struct {
        std::string args, other;
        bool same;
        std::string says = "";
    } cases[] = {{"-c 010", "-c 10", true},
                 {"-c 0xA", "-c 0X0a", true},
                 {"-c 8", "-c 10", false},
                 {"-x 038 -c 1", "-x 38 -c 1", true},
                 {"--speed 38 -c 1", "-c 1", false},
                 {"-c 1", "-c 1 --irq-at 0.3", true},
                 {"-c 1 --irq-at 0.5,1", "-c 1 -i 0.5", false},
                 {"-c 1 -f", "-c 1", false},
                 {"-c 1 -p", "-c 1", false},
                 {"-c 1 --cpu board", "-c 1", true},
                 {"-c 1 --cpu complete", "-c 1", false},
                 {"-s 1", "", false},
                 {"-i 0.1 -s 0.3", "-s 0.3", true, "1 interrupt(s) not taken: the program kept"},
                 {"-c 1 -i 1.6,2", "", true, "2 interrupt(s) not taken: the recording ended"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args + " / " + c.other);
        const auto [status, err] = run("tune.snd -q -s 1.5 -o a.wav " + c.args);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(c.says.empty() ? err.empty() : err.find(c.says) == 16) << err;
        EXPECT_EQ(run("tune.snd -q -s 1.5 -o b.wav " + c.other).first, 0);
        // Only the samples: libsndfile stamps float WAVs with the time of writing.
        const std::string a = slurp("a.wav"), b = slurp("b.wav");
        EXPECT_EQ(a.substr(a.find("data")) == b.substr(b.find("data")), c.same);
    }
    // --all=FIRST-LAST renders exactly that range, skipping commands that make no sound.
    EXPECT_EQ(run("tune.snd -q --all=0x0-2 -s 0.5 -o all").first, 0);
    EXPECT_EQ(files().count("./all/tune-002.wav") + files().count("./all/tune-003.wav"), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("all"), {}), 2);
}

// Output follows links, even dangling ones; a replaced file keeps its mode, a new one the umask.
TEST_F(Render, OutputFollowsLinksAndKeepsPermissions) {
    std::filesystem::create_directory("music");
    std::filesystem::create_symlink("music/later.wav", "dangling.wav");
    std::filesystem::create_symlink("music/now.wav", "link.wav");
    for (auto [name, mode] : {std::pair{"music/now.wav", 0640}, {"private.wav", 0604}})
        ScratchDir::write(name, {'o', 'l', 'd'}), chmod(name, mode);
    const struct {
        std::string output, written;
        mode_t mode;
    } cases[] = {{"dangling.wav", "music/later.wav", 0644},
                 {"link.wav", "music/now.wav", 0640},
                 {"private.wav", "private.wav", 0604},
                 {"new.wav", "new.wav", 0644}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(run("tune.snd -q -s 0.1 -o " + c.output).first, 0);
        struct stat written {};
        ASSERT_EQ(lstat(c.written.c_str(), &written), 0);
        EXPECT_EQ(written.st_mode, S_IFREG | c.mode); // a regular file, permissions as said
        EXPECT_EQ(slurp(c.written).rfind("RIFF", 0), 0u);
        EXPECT_EQ(std::filesystem::is_symlink(c.output), c.output != c.written);
    }
    EXPECT_EQ(files().size(), 8u);            // no part files left
    const std::string wav = slurp("new.wav"); // 48 kHz mono float, 0.1 s
    std::uint32_t format[4]; // type and channels, rate, bytes a second, block size and bits
    std::memcpy(format, wav.data() + 20, sizeof format);
    EXPECT_EQ(std::tuple(format[0], format[1], format[3]), std::tuple(0x10003u, 48000u, 0x200004u));
    EXPECT_EQ(wav.size(), wav.find("data") + 8 + 4800 * 4);
}

// --trace writes the lines that T writes in the program for the same run from the reset.
TEST_F(Render, TraceHoldsTheSameLinesAsTheProgramWrites) {
    ASSERT_EQ(run("tune.snd -q -s 0.02 -o a.wav --trace run.txt").first, 0); // one buffer
    Machine m;
    const std::vector<std::uint8_t> image = readRomImage("demo");
    std::copy(image.begin(), image.end(), m.memory.begin() + Mc6802::romBase);
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
