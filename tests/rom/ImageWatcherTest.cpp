#include "rom/ImageWatcher.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdio>

using Change = ImageWatcher::Change;

// Polls every 20 ms of a fake clock, for at most a second, until a change is reported.
static Change next(ImageWatcher& watcher, std::uint64_t& now, std::string& why) {
    for (int i = 0; i < 50; ++i, now += 20)
        if (const Change change = watcher.poll(now, why); change != Change::None) return change;
    return Change::None;
}

// Written in place, replaced by a rename, its listing added, cut short, deleted: each is
// reported once it has held still for 100 ms, and once; through inotify and by polling.
TEST(ImageWatcher, ReportsEachSettledChangeOnce) {
    for (const bool polling : {false, true}) {
        ScratchDir dir;
        ScratchDir::write("a.snd", std::vector<unsigned char>(2048, 1));
        ImageWatcher watcher;
        std::uint64_t now = 5000;
        std::string why;
        watcher.watch("a.snd", now, polling);
        EXPECT_EQ(watcher.usesInotify(), !polling);
        EXPECT_EQ(next(watcher, now, why), Change::None);

        ScratchDir::write("a.snd", std::vector<unsigned char>(2049, 2));
        const std::uint64_t written = now;
        EXPECT_EQ(next(watcher, now, why), Change::Load);
        EXPECT_GE(now - written, ImageWatcher::settleMs);
        EXPECT_EQ(next(watcher, now, why), Change::None);

        ScratchDir::write("new.tmp", std::vector<unsigned char>(4096, 3));
        ASSERT_EQ(std::rename("new.tmp", "a.snd"), 0);
        EXPECT_EQ(next(watcher, now, why), Change::Load);
        ScratchDir::write("a.lst", {});
        EXPECT_EQ(next(watcher, now, why), Change::Load);

        ScratchDir::write("a.snd", std::vector<unsigned char>(100, 4));
        EXPECT_EQ(next(watcher, now, why), Change::Invalid);
        EXPECT_EQ(why, "too short: 100 bytes");
        std::remove("a.snd");
        EXPECT_EQ(next(watcher, now, why), Change::Gone);
        EXPECT_EQ(next(watcher, now, why), Change::None);
    }
}

// A file still growing is not reported until it stops.
TEST(ImageWatcher, WaitsWhileTheFileIsStillWritten) {
    ScratchDir dir;
    ScratchDir::write("a.snd", std::vector<unsigned char>(2048, 1));
    ImageWatcher watcher;
    std::string why;
    watcher.watch("a.snd", 0);
    ScratchDir::write("a.snd", std::vector<unsigned char>(1000, 2));
    EXPECT_EQ(watcher.poll(10, why), Change::None); // seen
    ScratchDir::write("a.snd", std::vector<unsigned char>(2048, 2));
    EXPECT_EQ(watcher.poll(110, why), Change::None); // it grew meanwhile
    EXPECT_EQ(watcher.poll(210, why), Change::Load);
}
