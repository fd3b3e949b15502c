#include "app/CommandLine.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

static CommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "hummbox");
    return CommandLine::parse(int(args.size()), args.data());
}

// Usable: arguments, directory listed, image loaded at once, complete instruction set asked.
// Refused: one line naming the argument at fault (the last one), status 2.
TEST(CommandLine, AcceptsUsablePathsAndRefusesTheRest) {
    ScratchDir dir;
    const std::string odd = "sub dir/caf\xc3\xa9 \x80.snd";
    std::filesystem::create_directories("sub dir/dir.snd");
    for (const char* name : {"tune.snd", "-dash.snd", "empty.snd", "tune.bin", odd.c_str()})
        ScratchDir::write(name, std::vector<unsigned char>(name[0] == 'e' ? 0 : 2048, 0x7E));
    ASSERT_EQ(mkfifo("fifo.snd", 0600), 0);
    const struct {
        std::vector<const char*> args;
        const char* directory;
        std::string image;
        bool complete;
    } usable[] = {// clang-format off
        {{}, "", "", false}, {{"tune.snd"}, "", "tune.snd", false},
        {{"empty.snd"}, "", "empty.snd", false}, {{"tune.bin"}, "", "tune.bin", false},
        {{odd.c_str()}, "sub dir", odd.substr(8), false},
        {{"sub dir/dir.snd"}, "sub dir/dir.snd", "", false},
        {{"--", "-dash.snd"}, "", "-dash.snd", false},
        {{"--cpu", "complete", "./tune.snd"}, ".", "tune.snd", true},
        {{"--cpu=board", "--", "sub dir"}, "sub dir", "", false}}; // clang-format on
    for (const auto& c : usable) {
        SCOPED_TRACE(c.args.empty() ? "" : c.args.back());
        const CommandLine parsed = parse(c.args);
        EXPECT_EQ(parsed.exitStatus, CommandLine::run);
        EXPECT_EQ(parsed.options.directory, c.directory);
        EXPECT_EQ(parsed.options.image, c.image);
        EXPECT_EQ(parsed.options.cpu == InstructionSet::Complete, c.complete);
    }
    const std::vector<const char*> refused[] = {// clang-format off
        {"-dash.snd"}, {"missing.snd"}, {"fifo.snd"}, {""}, {"tune.snd", "sub dir"},
        {"--", "--help"}, {"--cpu", "z80"}, {"tune.snd", "--cpu="}, {"--cpu"},
        {"--script", "missing.txt"}, {"--script", "sub dir"}}; // clang-format on
    for (const auto& args : refused) {
        const CommandLine parsed = parse(args);
        SCOPED_TRACE(parsed.message);
        EXPECT_EQ(parsed.exitStatus, 2);
        EXPECT_EQ(std::count(parsed.message.begin(), parsed.message.end(), '\n'), 1);
        EXPECT_NE(parsed.message.find(std::string(args.back()) + ":"), std::string::npos);
    }
    EXPECT_EQ(parse({"--script=tune.bin", "tune.snd"}).options.script.size(), 2048u);
    const CommandLine help = parse({"--help", "missing.snd"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.message.find("--cpu"), std::string::npos);
}

// --last loads the image remembered, unless a path is named; one it cannot use is said and
// the working directory listed.
TEST(CommandLine, LastLoadsTheRememberedImage) {
    ScratchDir dir;
    ScratchDir::write("tune.snd", std::vector<unsigned char>(2048, 1));
    const std::string tune = std::filesystem::absolute("tune.snd").string();
    CommandLine last = parse({"--last"});
    EXPECT_EQ(CommandLine::useLast(last.options, tune), "");
    EXPECT_EQ(last.options.image, "tune.snd");
    last = parse({"--last"});
    EXPECT_EQ(CommandLine::useLast(last.options, "/gone.snd"),
              "hummbox: --last: /gone.snd: No such file or directory; listing the working "
              "directory\n");
    EXPECT_TRUE(last.options.image.empty() && last.options.directory.empty());
    CommandLine named = parse({"--last", "."});
    EXPECT_EQ(CommandLine::useLast(named.options, tune), "");
    EXPECT_TRUE(named.options.directory == "." && named.options.image.empty());
}
