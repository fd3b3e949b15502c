#include "app/Settings.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

TEST(Settings, LiveUnderXdgConfigHomeElseHomeConfig) {
    EXPECT_EQ(Settings::path("/cfg", "/home/u"), "/cfg/hummbox/settings.ini");
    EXPECT_EQ(Settings::path("cfg", "/home/u"), "/home/u/.config/hummbox/settings.ini");
    EXPECT_EQ(Settings::path(nullptr, "/home/u"), "/home/u/.config/hummbox/settings.ini");
    EXPECT_TRUE(Settings::path(nullptr, nullptr).empty());
}

// What is written reads back; a damaged file gives the defaults and the line at fault.
TEST(Settings, ReadBackWhatWasWrittenAndIgnoreDamage) {
    ScratchDir dir;
    const std::filesystem::path path = std::filesystem::current_path() / "cfg/hummbox/s.ini";
    Settings read{1, 1, 1, "/x"};
    std::string error;
    EXPECT_TRUE(Settings::read(path, read, error)); // none yet: the defaults
    EXPECT_TRUE(read.width == 0 && read.lastImage.empty());
    const Settings written{1480, 1000, 2, "/music/tune.snd"};
    ASSERT_TRUE(written.write(path, error)) << error;
    ASSERT_TRUE(Settings::read(path, read, error)) << error;
    EXPECT_TRUE(read.width == 1480 && read.height == 1000 && read.scale == 2);
    EXPECT_EQ(read.lastImage, "/music/tune.snd");
    for (const std::string damaged :
         {"width=740\nheight\n", "width=74o\n", "scale=0\n", "colour=red\n", "last=tune.snd\n"}) {
        ScratchDir::write(path.string(), {damaged.begin(), damaged.end()});
        read = written;
        EXPECT_FALSE(Settings::read(path, read, error)) << damaged;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
        EXPECT_TRUE(read.width == 0 && read.lastImage.empty());
    }
}
