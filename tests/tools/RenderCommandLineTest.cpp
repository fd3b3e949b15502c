#include "tests/support/RomImage.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <iterator>

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs hummbox-render in the working directory; its status and its standard error.
std::pair<int, std::string> render(const std::string& args) {
    const std::string command = std::string(HUMMBOX_RENDER_EXE) + " " + args + " 2>err.txt";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp("err.txt")};
}

const std::string demo = std::string(1, '\'').append(romImagePath("demo")).append("'");

// Every error: one line on standard error, a non-zero status, and no file left behind (an
// existing one is not touched).
TEST(RenderCommandLine, ErrorsAreOneLineAndLeaveNoFile) {
    ScratchDir dir;
    ScratchDir::write("keep.wav", {'o', 'l', 'd'});
    ScratchDir::write("short.snd", std::vector<unsigned char>(100, 1));
    std::filesystem::create_directory("sub.wav");
    const struct {
        std::string args, says;
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
        const auto [status, err] = render(c.args);
        EXPECT_NE(status, 0);
        EXPECT_EQ(err.rfind("hummbox-render: ", 0), 0u) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 4); // and err.txt
        EXPECT_EQ(slurp("keep.wav"), "old");
    }
}

// A run replaces the output with a 48 kHz mono WAV of the length asked, float samples or
// 16-bit ones. The interrupt waits for the start-up chime (0.41 s) to end, or comes at the
// time given: at 0.7 s the tone of command 1 is sounding, or not yet.
TEST(RenderCommandLine, WritesTheWavWithTheInterruptWhenAsked) {
    ScratchDir dir;
    const struct {
        std::string args;
        int bits;
        bool soundAt700ms;
    } cases[] = {{"-c 1", 32, true}, {"-c 1 --irq-at 1", 32, false}, {"-p -c 1", 16, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        ScratchDir::write("out.wav", {'o', 'l', 'd'});
        const auto [status, err] = render(demo + " -q -s 1.5 -o out.wav " + c.args);
        EXPECT_EQ(status, 0) << err;
        const std::string wav = slurp("out.wav");
        const auto word = [&](std::size_t at, int bytes) {
            std::uint32_t v = 0;
            for (int i = bytes - 1; i >= 0; --i)
                v = v << 8 | static_cast<std::uint8_t>(wav.at(at + i));
            return v;
        };
        const std::size_t data = wav.find("data") + 8;
        ASSERT_TRUE(wav.rfind("RIFF", 0) == 0 && wav.substr(8, 8) == "WAVEfmt ") << wav.size();
        EXPECT_EQ(word(22, 2), 1u);     // channels
        EXPECT_EQ(word(24, 4), 48000u); // samples a second
        EXPECT_EQ(word(34, 2), unsigned(c.bits));
        EXPECT_EQ(word(data - 4, 4), 72000u * c.bits / 8);
        EXPECT_EQ(wav.size(), data + 72000u * c.bits / 8);
        const std::string at700ms = wav.substr(data + 33600 * c.bits / 8, 2400 * c.bits / 8);
        EXPECT_EQ(at700ms.find_first_not_of('\0') != std::string::npos, c.soundAt700ms);
    }
}

} // namespace
