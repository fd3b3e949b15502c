#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// hummbox-render run as a program: its output files and its command-line errors.

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct RenderCommandLine : testing::Test {
    fs::path dir;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "hummbox-render-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::string& args) {
        const std::string command = "cd '" + dir.string() + "' && '" + HUMMBOX_RENDER_EXE + "' " +
                                    args + " >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "stdout.txt"),
                  slurp(dir / "stderr.txt")};
        fs::remove(dir / "stdout.txt");
        fs::remove(dir / "stderr.txt");
        return r;
    }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// The demo image, quoted for the shell.
std::string quoted(const std::string& path) {
    std::string q(1, '\'');
    q.append(path).push_back('\'');
    return q;
}
const std::string demo = quoted(romImagePath("demo"));

} // namespace

TEST_F(RenderCommandLine, WritesFloatAndPcmWaves) {
    Outcome r = run(demo + " --command 1 --from-command --seconds 1 --output tone.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string wav = slurp(dir / "tone.wav");
    ASSERT_GT(wav.size(), 48000u * 4);
    EXPECT_LT(wav.size(), 48000u * 4 + 200);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 4), "WAVE");

    r = run(demo + " -c 1 -f -s 1 -p -o pcm.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::size_t size = fs::file_size(dir / "pcm.wav");
    EXPECT_GT(size, 48000u * 2);
    EXPECT_LT(size, 48000u * 2 + 200);
    EXPECT_EQ(files(), (std::vector<std::string>{"pcm.wav", "tone.wav"}));
}

TEST_F(RenderCommandLine, AllWritesOneFilePerSoundingCommand) {
    const Outcome r = run(demo + " --all=0-3 --seconds 3 -o sounds");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress bar without a terminal";
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(dir / "sounds"))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"demo-001.wav", "demo-002.wav", "demo-003.wav"}));
    EXPECT_NE(r.out.find("3 of 4 commands"), std::string::npos) << r.out;
}

TEST_F(RenderCommandLine, HelpGoesToStandardOutput) {
    const Outcome r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: hummbox-render"), std::string::npos);
    EXPECT_NE(r.out.find("--irq-at"), std::string::npos);
}

// Every error: one line on stderr, a non-zero status, and no WAV file left behind (an
// existing one is not touched).
TEST_F(RenderCommandLine, ErrorsAreOneLineAndLeaveNoFile) {
    {
        std::ofstream keep(dir / "keep.wav");
        keep << "old";
        std::ofstream shortImage(dir / "short.snd", std::ios::binary);
        shortImage << std::string(100, '\1');
    }
    fs::create_directory(dir / "sub.wav");
    const struct {
        std::string args;
        std::string says;
    } cases[] = {
        {"", "no ROM image"},
        {"missing.snd -o keep.wav", "cannot read missing.snd"},
        {"short.snd -o keep.wav", "holds 100 bytes"},
        {". -o keep.wav", "cannot read ."},
        {demo + " " + demo, "one ROM image only"},
        {demo + " --speed 0", "--speed"},
        {demo + " --speed 101 -o keep.wav", "--speed"},
        {demo + " --command 256", "--command"},
        {demo + " --command x1", "--command"},
        {demo + " --seconds -1", "--seconds"},
        {demo + " --seconds 2s", "--seconds"},
        {demo + " --irq-at 0.5,abc", "--irq-at"},
        {demo + " --bogus", "unknown option --bogus"},
        {demo + " --command", "needs a value"},
        {demo + " --all=9-3", "ends before it starts"},
        {demo + " --all --command 3", "exclude each other"},
        {demo + " --from-command", "needs --command"},
        {demo + " -c 1 -o no/such/dir/out.wav", "cannot write no/such/dir/out.wav"},
        {demo + " -c 1 -o sub.wav", "not a regular file"},
        {demo + " --all=1 -o keep.wav/dir", "cannot create directory keep.wav/dir"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome r = run(c.args);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
        EXPECT_EQ(r.err.rfind("hummbox-render: ", 0), 0u) << r.err;
        EXPECT_EQ(files(), (std::vector<std::string>{"keep.wav", "short.snd", "sub.wav"}));
        EXPECT_EQ(slurp(dir / "keep.wav"), "old");
    }
}
