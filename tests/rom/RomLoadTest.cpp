#include "tests/support/LiveApp.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// An image of length bytes whose byte k is (k * 7 + seed) & 0xFF, with the reset vector
// (offsets 2046, 2047) set to resetTarget when the image reaches it.
std::vector<unsigned char> image(std::size_t length, unsigned seed, std::uint16_t resetTarget) {
    std::vector<unsigned char> bytes(length);
    for (std::size_t k = 0; k < length; ++k)
        bytes[k] = static_cast<unsigned char>(k * 7 + seed);
    if (length >= 2048) {
        bytes[2046] = static_cast<unsigned char>(resetTarget >> 8);
        bytes[2047] = static_cast<unsigned char>(resetTarget);
    }
    return bytes;
}

struct RomLoad : ::testing::Test {
    LiveApp live;
    App& app = live.app;

    void SetUp() override { ASSERT_TRUE(live.started); }

    // Loads with the audio paused, as the selection screen does, and pauses it again after
    // so that the test may look at memory without the audio thread running the processor.
    void load(const std::string& name) {
        ASSERT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
        app.browser.loadImage(app, name);
        audioAfterLoad = SDL_GetAudioStatus();
        SDL_PauseAudio(1);
    }
    // The whole PROM region.
    std::vector<unsigned char> rom() const {
        return {app.cpu.memory + 0xF800, app.cpu.memory + 0x10000};
    }

    SDL_AudioStatus audioAfterLoad = SDL_AUDIO_STOPPED;
};

TEST_F(RomLoad, AFullImageFillsThePromAndResetsToItsVector) {
    const auto bytes = image(2048, 1, 0xF80A);
    ScratchDir::write("full.snd", bytes);
    app.cpu.memory[0x0500] = 0x5A;
    app.cpu.memory[0xF7FF] = 0xA5;
    app.cpu.A = 0x33;

    load("full.snd");
    EXPECT_EQ(rom(), bytes);
    EXPECT_EQ(app.cpu.PC, 0xF80A);
    EXPECT_EQ(app.cpu.A, 0);
    EXPECT_EQ(app.cpu.memory[0x0500], 0x5A);
    EXPECT_EQ(app.cpu.memory[0xF7FF], 0xA5);
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "full.snd");
    EXPECT_EQ(audioAfterLoad, SDL_AUDIO_PLAYING);
}

TEST_F(RomLoad, AShortImageReplacesOnlyItsLength) {
    const auto first = image(2048, 1, 0xF900);
    const auto half = image(1024, 99, 0);
    ScratchDir::write("first.snd", first);
    ScratchDir::write("half.snd", half);
    load("first.snd");
    app.mode = App::modeRomSelect;
    app.cpu.PC = 0x1234;

    load("half.snd");
    std::vector<unsigned char> expected(half);
    expected.insert(expected.end(), first.begin() + 1024, first.end());
    EXPECT_EQ(rom(), expected);
    EXPECT_EQ(app.cpu.PC, 0xF900); // the earlier image's reset vector
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "half.snd");
    EXPECT_EQ(audioAfterLoad, SDL_AUDIO_PLAYING);
}

TEST_F(RomLoad, AnEmptyFileReplacesNothingButStillLoads) {
    const auto first = image(2048, 3, 0xFA00);
    ScratchDir::write("first.snd", first);
    ScratchDir::write("empty.snd", {});
    load("first.snd");
    app.mode = App::modeRomSelect;
    app.cpu.PC = 0x1234;
    app.cpu.X = 0x4321;

    load("empty.snd");
    EXPECT_EQ(rom(), first);
    EXPECT_EQ(app.cpu.PC, 0xFA00);
    EXPECT_EQ(app.cpu.X, 0);
    EXPECT_EQ(app.mode, App::modeDebugger);
    EXPECT_EQ(app.browser.loadedFileName, "empty.snd");
    EXPECT_EQ(audioAfterLoad, SDL_AUDIO_PLAYING);
}

TEST_F(RomLoad, ALongFileLoadsItsFirst2048Bytes) {
    const auto bytes = image(3000, 5, 0xFB00);
    ScratchDir::write("long.snd", bytes);
    load("long.snd");
    EXPECT_EQ(rom(), std::vector<unsigned char>(bytes.begin(), bytes.begin() + 2048));
    EXPECT_EQ(app.cpu.PC, 0xFB00);
    EXPECT_EQ(app.mode, App::modeDebugger);
}

TEST_F(RomLoad, ReloadingRestoresTheWholeRegion) {
    const auto bytes = image(2048, 11, 0xF800);
    ScratchDir::write("tune.snd", bytes);
    load("tune.snd");
    std::fill(app.cpu.memory + 0xF800, app.cpu.memory + 0x10000, 0xEE);
    app.cpu.PC = 0x0042;
    load("tune.snd");
    EXPECT_EQ(rom(), bytes);
    EXPECT_EQ(app.cpu.PC, 0xF800);
}

// Names that cannot be opened or read leave everything exactly as it was: the selection
// screen stays, audio stays paused, and the earlier image and name are kept.
TEST_F(RomLoad, ANameThatCannotBeReadChangesNothing) {
    const auto first = image(2048, 13, 0xFC00);
    ScratchDir::write("first.snd", first);
    load("first.snd");
    std::filesystem::create_directory("x.snd");
    std::filesystem::create_directory("full.snd");
    ScratchDir::write("full.snd/inside", image(4096, 1, 0));
    std::vector<std::string> names = {"x.snd", "full.snd", "missing.snd", "",
                                      std::string(300, 'n') + ".snd"};
    if (geteuid() != 0) { // root reads anything
        ScratchDir::write("locked.snd", image(2048, 17, 0));
        std::filesystem::permissions("locked.snd", std::filesystem::perms::none);
        names.push_back("locked.snd");
    }

    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        app.mode = App::modeRomSelect;
        app.cpu.PC = 0x1234;
        app.cpu.A = 0x56;
        app.cpu.cycleCount = 777;
        app.cpu.memory[0x0010] = 0x99;
        const std::vector<unsigned char> memoryBefore(app.cpu.memory, app.cpu.memory + 0x10000);

        app.browser.loadImage(app, name);
        EXPECT_EQ(std::vector<unsigned char>(app.cpu.memory, app.cpu.memory + 0x10000),
                  memoryBefore);
        EXPECT_EQ(app.cpu.PC, 0x1234);
        EXPECT_EQ(app.cpu.A, 0x56);
        EXPECT_EQ(app.cpu.cycleCount, 777u);
        EXPECT_EQ(app.mode, App::modeRomSelect);
        EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
        EXPECT_EQ(app.browser.loadedFileName, "first.snd");
    }
}

} // namespace
