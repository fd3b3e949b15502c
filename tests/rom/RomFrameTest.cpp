#include "tests/support/LiveApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr Uint32 white = 0xFFFFFF;
constexpr Uint32 grey = 0x808080;
constexpr Uint32 black = 0x000000;

std::vector<std::string> names(int count) {
    std::vector<std::string> list;
    for (int i = 0; i < count; ++i)
        list.push_back("rom" + std::to_string(i) + ".snd");
    return list;
}

TEST(RomFrame, MovesTheHighlightWithinTheList) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    App& app = live.app;
    struct Case {
        int count;
        std::int32_t before;
        std::int32_t dy;
        std::int32_t after;
    };
    const Case cases[] = {
        {3, 0, +1, 1}, {3, 1, -1, 0},  {3, 0, -1, 0},   // up on the first entry stays
        {3, 2, +1, 2},                                  // down on the last entry stays
        {1, 0, +1, 0}, {1, 0, -1, 0},                   // a single entry is always highlighted
        {2, 5, 0, 1},                                   // a shrunken list: onto its last entry
        {0, 0, 0, -1}, {0, 0, +1, -1}, {0, -1, -1, -1}, // empty list
        {4, -1, 0, 0},                                  // a list that has grown again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.count << " entries, " << c.before << " + " << c.dy);
        app.browser.fileNames = names(c.count);
        app.browser.selectedIndex = c.before;
        app.control.clearBatch();
        app.control.cursorDy = c.dy;
        app.browser.frame(app);
        EXPECT_EQ(app.browser.selectedIndex, c.after);
        EXPECT_EQ(app.mode, App::modeRomSelect);
    }
}

TEST(RomFrame, ReturnOnAnEmptyListStaysOnTheSelectionScreen) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    App& app = live.app;
    ASSERT_TRUE(app.browser.fileNames.empty());
    app.mode = App::modeRomSelect;
    app.control.clearBatch();
    app.control.enter = true;
    app.control.cursorDy = 1;
    app.browser.frame(app);
    EXPECT_EQ(app.mode, App::modeRomSelect);
    EXPECT_EQ(app.browser.selectedIndex, -1);
    EXPECT_TRUE(app.browser.loadedFileName.empty());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
}

TEST(RomFrame, ReturnLoadsTheHighlightedEntry) {
    LiveApp live([] {
        ScratchDir::write("a.snd", std::vector<unsigned char>(2048, 0x11));
        ScratchDir::write("b.snd", std::vector<unsigned char>(2048, 0x22));
    });
    ASSERT_TRUE(live.started);
    App& app = live.app;
    app.mode = App::modeRomSelect;
    app.browser.fileNames = {"a.snd", "b.snd"};
    app.browser.selectedIndex = 0;
    app.control.clearBatch();
    app.control.cursorDy = 1;
    app.control.enter = true;
    app.browser.frame(app);
    SDL_PauseAudio(1);
    EXPECT_EQ(app.browser.loadedFileName, "b.snd");
    EXPECT_EQ(app.cpu.memory[0xF800], 0x22);
    EXPECT_EQ(app.cpu.PC, 0x2222);
    EXPECT_EQ(app.mode, App::modeDebugger);
}

// The text is drawn with a font of solid blocks, so every drawn cell shows its colour.
TEST(RomFrame, DrawsTheHeadingAndTheListInTheirColours) {
    LiveApp live;
    ASSERT_TRUE(live.started);
    App& app = live.app;
    SDL_Renderer* r = app.screen.renderer;
    app.browser.fileNames = {"ab.snd", "c d.snd", std::string(300, 'z') + ".snd"};
    app.browser.selectedIndex = 1;
    app.control.clearBatch();
    app.browser.frame(app);

    // "Select ROM file:": blanks at characters 6 and 10, the colon last at x 120.
    EXPECT_EQ(pixelAt(r, 0, 0), white);
    EXPECT_EQ(pixelAt(r, 47, 7), white);
    EXPECT_EQ(pixelAt(r, 48, 0), black);
    EXPECT_EQ(pixelAt(r, 83, 4), black);
    EXPECT_EQ(pixelAt(r, 127, 7), white);
    EXPECT_EQ(pixelAt(r, 128, 0), black);
    for (int y = 8; y < 16; ++y)
        EXPECT_EQ(pixelAt(r, 3, y), black) << "row " << y;

    EXPECT_EQ(pixelAt(r, 0, 16), grey); // entry 0
    EXPECT_EQ(pixelAt(r, 47, 23), grey);
    EXPECT_EQ(pixelAt(r, 48, 16), black);
    EXPECT_EQ(pixelAt(r, 0, 24), white); // entry 1, highlighted
    EXPECT_EQ(pixelAt(r, 8, 24), black); // its blank
    EXPECT_EQ(pixelAt(r, 16, 31), white);
    EXPECT_EQ(pixelAt(r, 0, 32), grey); // entry 2 runs past the right edge
    EXPECT_EQ(pixelAt(r, 739, 39), grey);
    EXPECT_EQ(pixelAt(r, 0, 40), black);
}

TEST(RomFrame, WithoutAFontNothingIsDrawnAndNothingFails) {
    LiveApp live([] {}, /*withFont=*/false);
    ASSERT_TRUE(live.started);
    App& app = live.app;
    app.browser.fileNames = names(3);
    app.control.clearBatch();
    app.browser.frame(app);
    for (const auto& [x, y] : {std::pair{0, 0}, {0, 16}, {4, 20}, {12, 30}})
        EXPECT_EQ(pixelAt(app.screen.renderer, x, y), black);
    EXPECT_EQ(app.browser.selectedIndex, 0);
}

} // namespace
