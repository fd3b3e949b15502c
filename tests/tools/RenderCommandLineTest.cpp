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

} // namespace
