#include "capture/StateFile.h"
#include "debug/Command.h"
#include "tests/support/FullDisk.h"
#include "tests/support/LiveApp.h"

#include <gtest/gtest.h>
#include <zlib.h>

using Bytes = std::vector<std::uint8_t>;

// Every saved field of the stopped machine (the audio thread leaves its board alone) from seed.
static void scramble(App& app, std::uint32_t seed) {
    const auto next = [&seed] { return seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5; };
    for (std::size_t i = 0; i < Mc6802::memorySize; ++i)
        app.board.memory[i] = std::uint8_t(next()), app.board.heat[i] = next() % 101;
    Mc6802& c = app.cpu;
    c.A = std::uint8_t(next()), c.B = std::uint8_t(next()), c.CC = std::uint8_t(next());
    c.X = std::uint16_t(next()), c.SP = std::uint16_t(next()), c.PC = std::uint16_t(next());
    c.cycleCount = next(), app.audio.clockCycles = next(), app.audio.sampleCount = next();
    c.instructionSet = InstructionSet::Complete, c.waiting = seed & 1;
}

// Runs line as the command line does: the answer, after "refused: " when it failed.
static std::string run(App& app, const std::string& line) {
    DebugCommand c;
    std::string answer;
    const bool good =
        DebugCommand::parse(line, nullptr, app.cpu, app.audio.debugger.status, c, answer) &&
        app.runMainCommand(c, line, answer);
    return (good ? "" : "refused: ") + answer;
}

TEST(StateFile, LoadsTheWholeBoardBackOrRefusesWithOneLineAndSavesSafely) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    App& app = live.app;
    StateFile target; // what saved() took last
    const auto saved = [&] { return target.take(app.cpu, app.audio), target.encode(); };
    scramble(app, 1);
    app.cpu.PC = 0xF806, app.cpu.cycleCount = 123456;
    const Bytes good = saved();
    EXPECT_EQ(run(app, "save  my state"), "saved state to my state (PC F806, cycle 123456)");
    scramble(app, 2);
    app.audio.debugger.status.stop = DebugStatus::Stop::Break;
    EXPECT_EQ(run(app, "load my state"), "loaded state from my state (PC F806, cycle 123456); "
                                         "its PROM differs from the one it replaced");
    EXPECT_EQ(saved(), good);
    EXPECT_EQ(app.audio.debugger.status.stop, DebugStatus::Stop::None);
    EXPECT_EQ(good[21] << 8 | good[22], 0xF806); // PC where docs/internals.md says

    const auto patched = [&good](std::size_t at, int byte, std::size_t size, bool crc) {
        Bytes b = good;
        b.resize(size), b[at] = static_cast<std::uint8_t>(byte);
        const auto sum = crc32(0, b.data(), uInt(b.size() - 4));
        for (std::size_t i = 0; crc && i < 4; ++i)
            b[b.size() - 1 - i] = std::uint8_t(sum >> 8 * i);
        return b;
    };
    const std::size_t n = good.size();
    // Cut in the magic, the header, the memory and the checksum; too long; the other refusals.
    const std::pair<Bytes, std::string> cases[] = {
        {patched(0, 'H', 5, false), "truncated: 5 of 131125 bytes"},
        {patched(0, 'H', 12, false), "truncated: 12 of 131125 bytes"},
        {patched(0, 'H', 70000, false), "truncated: 70000 of 131125 bytes"},
        {patched(0, 'H', n - 1, false), "truncated: 131124 of 131125 bytes"},
        {patched(n, 0, n + 1, false), "too long: 131126 of 131125 bytes"},
        {patched(5000, good[5000] ^ 1, n, false), "damaged: checksum does not match"},
        {patched(0, 'R', n, true), "not a hummbox state file"},
        {patched(9, 2, n, true), "made by a newer hummbox (format version 2, this one reads 1)"},
        {patched(23, 2, n, true), "impossible: instruction set 2"},
        {patched(n - 5, 101, n, true), "impossible: heat 101 at 65535"},
    };
    for (const auto& [bytes, reason] : cases) {
        ScratchDir::write("bad", bytes);
        std::string error;
        EXPECT_FALSE(target.load("bad", error));
        EXPECT_EQ(error, reason + ": cannot load bad");
        EXPECT_EQ(target.encode(), good) << reason;
    }
    EXPECT_EQ(run(app, "load bad"), "refused: impossible: heat 101 at 65535: cannot load bad");
    EXPECT_EQ(saved(), good);  // the App's board, too, as it was
    const FullDisk disk(4096); // a failed save leaves the file it replaces, and nothing else
    EXPECT_EQ(run(app, "save bad"), "refused: File too large: cannot save to bad");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 3);
    EXPECT_EQ(std::filesystem::file_size("bad"), n);
}
