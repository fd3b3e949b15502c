#include "tests/support/LiveApp.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <cstring>

static std::uint16_t irqOf(const Labels& labels) {
    const Labels::Entry* irq = labels.find("irq");
    return irq != nullptr ? irq->address : 0;
}

static void iterateUntilNoticeChanges(App& app) {
    const std::string before = app.reloadNotice;
    for (int i = 0; i < 200 && app.reloadNotice == before; ++i)
        app.iterate();
}

// tune.snd (demo), running with breakpoints on its irq label and on no label, is replaced
// by tone.snd and its listing: tone is loaded, the first point follows irq, the other stays,
// it runs on, and the status line says when. A short file written over it is not loaded.
TEST(Reload, ReplacedImageLoadsAndPointsFollowTheirLabels) {
    LiveApp live([] {
        for (const char* name : {"demo", "tone"}) {
            std::filesystem::copy_file(romImagePath(name), name + std::string(".snd"));
            std::filesystem::copy_file(romListingPath(name), name + std::string(".lst"));
        }
        std::filesystem::rename("demo.lst", "tune.lst");
        std::filesystem::rename("demo.snd", "tune.snd");
    });
    App& app = live.app;
    app.browser.selectedIndex = app.browser.fileNames[0] == "tune.snd" ? 0 : 1;
    LiveApp::pushKey(SDLK_RETURN);
    app.iterate();
    const std::uint16_t demoIrq = irqOf(app.browser.labels);
    ASSERT_NE(demoIrq, 0);
    SDL_LockAudio();
    app.audio.debugger.toggleBreak(0xFFF0);
    app.audio.debugger.toggleBreak(demoIrq);
    app.control.setRunning(true);
    SDL_UnlockAudio();

    std::filesystem::rename("tone.lst", "tune.lst");
    std::filesystem::rename("tone.snd", "tune.snd");
    iterateUntilNoticeChanges(app);
    app.iterate();
    char row[StatusLine::columns + 1];
    app.screen.status.format(0, row);
    EXPECT_EQ(std::string(row).substr(0, 23), "tune.snd      reloaded ") << row;
    const std::vector<std::uint8_t> tone = readRomImage("tone");
    EXPECT_EQ(std::memcmp(app.cpu.memory + Mc6802::romBase, tone.data(), 2048), 0);
    ASSERT_NE(irqOf(app.browser.labels), demoIrq);
    SDL_LockAudio();
    const DebugStatus status = app.audio.debugger.status;
    SDL_UnlockAudio();
    EXPECT_EQ(status.breakCount, 2);
    EXPECT_TRUE(status.isBreakpoint(0xFFF0) && status.isBreakpoint(irqOf(app.browser.labels)));
    EXPECT_TRUE(app.control.isRunning());

    ScratchDir::write("tune.snd", std::vector<unsigned char>(100, 0x55));
    iterateUntilNoticeChanges(app);
    EXPECT_EQ(app.reloadNotice, "too short: 100 bytes");
    EXPECT_EQ(std::memcmp(app.cpu.memory + Mc6802::romBase, tone.data(), 2048), 0);
}
