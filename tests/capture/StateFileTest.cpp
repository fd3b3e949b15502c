#include "capture/StateFile.h"
#include "debug/Command.h"
#include "tests/support/FullDisk.h"
#include "tests/support/LiveApp.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every saved field of the live machine, from seed; heat within 0..100. The processor is
// stopped, so the audio thread leaves the board alone.
void scramble(App& app, std::uint32_t seed) {
    const auto next = [&seed] { return seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5; };
    for (std::uint8_t& byte : app.board.memory)
        byte = static_cast<std::uint8_t>(next());
    for (std::uint32_t& heat : app.board.heat)
        heat = next() % 101;
    Mc6802& c = app.cpu;
    c.A = std::uint8_t(next()), c.B = std::uint8_t(next()), c.CC = std::uint8_t(next());
    c.X = std::uint16_t(next()), c.SP = std::uint16_t(next()), c.PC = std::uint16_t(next());
    c.cycleCount = next(), app.audio.clockCycles = next(), app.audio.sampleCount = next();
    c.instructionSet = InstructionSet::Complete, c.waiting = seed & 1;
}

Bytes saved(App& app) {
    StateFile state;
    state.take(app.cpu, app.audio);
    return state.encode();
}

// Runs line as the command line does: the answer, after "refused: " when it failed.
std::string run(App& app, const std::string& line) {
    DebugCommand c;
    std::string answer;
    const bool good =
        DebugCommand::parse(line, nullptr, app.cpu, app.audio.debugger.status, c, answer) &&
        app.runMainCommand(c, line, answer);
    return (good ? "" : "refused: ") + answer;
}

} // namespace

TEST(StateFile, LoadBringsBackTheWholeBoardAndTheClock) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    App& app = live.app;
    scramble(app, 1);
    const Bytes before = saved(app);
    char standing[48];
    std::snprintf(standing, sizeof standing, " (PC %04X, cycle %llu)", app.cpu.PC,
                  static_cast<unsigned long long>(app.cpu.cycleCount));
    EXPECT_EQ(run(app, "save  my state"), "saved state to my state" + std::string(standing));
    scramble(app, 2);
    app.audio.debugger.status.stop = DebugStatus::Stop::Break;
    EXPECT_EQ(run(app, "load my state"), "loaded state from my state" + std::string(standing) +
                                             "; its PROM differs from the one it replaced");
    EXPECT_EQ(saved(app), before);
    EXPECT_EQ(app.audio.debugger.status.stop, DebugStatus::Stop::None);
    // The layout in docs/internals.md: PC at 21, the heat of FFFF just before the CRC.
    EXPECT_EQ(before[21] << 8 | before[22], app.cpu.PC);
    EXPECT_EQ(before[before.size() - 5], app.board.heat[0xFFFF]);
}

TEST(StateFile, RefusesADamagedFileWithOneLineAndChangesNothing) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    App& app = live.app;
    scramble(app, 3);
    const Bytes good = saved(app);
    const auto cut = [&good](std::size_t n) { return Bytes(good.begin(), good.begin() + long(n)); };
    const auto patched = [&good](std::size_t at, std::uint8_t byte, bool crc) {
        Bytes b = good;
        b[at] = byte;
        const auto sum = crc32(0, b.data(), uInt(b.size() - 4));
        for (int i = 0; crc && i < 4; ++i)
            b[b.size() - 1 - std::size_t(i)] = std::uint8_t(sum >> 8 * i);
        return b;
    };
    Bytes longer = good;
    longer.push_back(0);
    const std::string of = " of " + std::to_string(good.size()) + " bytes";
    const struct {
        Bytes bytes;
        std::string reason;
    } cases[] = {
        {cut(0), "truncated: 0" + of},
        {cut(5), "truncated: 5" + of},                    // in the magic
        {cut(12), "truncated: 12" + of},                  // in the header
        {cut(70000), "truncated: 70000" + of},            // in the memory
        {cut(good.size() - 1), "truncated: 131124" + of}, // in the checksum
        {longer, "too long: 131126" + of},
        {patched(5000, good[5000] ^ 0x10, false), "damaged: checksum does not match"},
        {patched(0, 'R', true), "not a hummbox state file"},
        {patched(9, 2, true), "made by a newer hummbox (format version 2, this one reads 1)"},
        {patched(23, 2, true), "impossible: instruction set 2"},
        {patched(good.size() - 5, 101, true), "impossible: heat 101 at 65535"},
    };
    scramble(app, 4);
    StateFile target;
    target.take(app.cpu, app.audio);
    const Bytes untouched = target.encode();
    for (const auto& c : cases) {
        ScratchDir::write("bad", c.bytes);
        std::string error;
        EXPECT_FALSE(target.load("bad", error));
        EXPECT_EQ(error, c.reason + ": cannot load bad");
        EXPECT_EQ(target.encode(), untouched) << c.reason;
    }
    // The App's load stops at the first refusal too: its board is as it was.
    EXPECT_EQ(run(app, "load bad"), "refused: impossible: heat 101 at 65535: cannot load bad");
    EXPECT_EQ(saved(app), untouched);
}

TEST(StateFile, AFailedSaveSaysWhyFirstAndLeavesNothingBehind) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    EXPECT_EQ(run(live.app, "save no/such/x"),
              "refused: No such file or directory: cannot save to no/such/x");
    ScratchDir::write("kept", {1, 2, 3});
    {
        const FullDisk disk(4096);
        EXPECT_EQ(run(live.app, "save kept"), "refused: File too large: cannot save to kept");
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"font.bmp", "kept"}));
    EXPECT_EQ(std::filesystem::file_size("kept"), 3u);
}
