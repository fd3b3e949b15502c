#include "rom/RomBrowser.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> scanned() {
    RomBrowser browser;
    browser.scan();
    return browser.fileNames;
}

TEST(RomScan, ListsExactlyTheNamesEndingInLowerCaseSnd) {
    ScratchDir dir;
    struct Case {
        const char* name;
        bool listed;
    };
    const Case cases[] = {
        {"tune.snd", true},  {"a.b.snd", true},       {".snd", true},       {"TUNE.SND", false},
        {"tune.Snd", false}, {"tune.snd.bak", false}, {"tune.snd.", false}, {"snd", false},
        {"tunesnd", false},  {"tune.snd ", false},    {"tune.sndx", false}, {"x.snd.snd", true},
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        ScratchDir::write(c.name, {1, 2, 3});
        if (c.listed) expected.emplace_back(c.name);
    }
    EXPECT_EQ(sorted(scanned()), sorted(expected));
}

TEST(RomScan, ListsMatchingDirectoriesButDoesNotDescend) {
    ScratchDir dir;
    std::filesystem::create_directory("music.snd");
    std::filesystem::create_directory("sub");
    ScratchDir::write("sub/inner.snd", {0});
    ScratchDir::write("music.snd/deep.snd", {0});
    EXPECT_EQ(scanned(), std::vector<std::string>{"music.snd"});
}

TEST(RomScan, KeepsUnusualNamesByteForByte) {
    ScratchDir dir;
    const std::vector<std::string> names = {
        "\x80\x81\xfe\xff.snd",         // not valid UTF-8
        "with some blanks .snd",        //
        " .snd",                        //
        std::string(251, 'n') + ".snd", // 255 bytes, the longest name the system allows
        "caf\xc3\xa9 tune.snd",         // UTF-8
    };
    for (const std::string& name : names)
        ScratchDir::write(name, {0});
    EXPECT_EQ(sorted(scanned()), sorted(names));
}

TEST(RomScan, HandlesThousandsOfFilesInListingOrder) {
    ScratchDir dir;
    for (int i = 0; i < 3000; ++i) {
        std::string name = std::to_string(i);
        name.append(i % 3 == 0 ? ".snd" : ".txt");
        ScratchDir::write(name, {});
    }

    // The platform's own listing, filtered the same way, in its order.
    std::vector<std::string> listing;
    DIR* d = opendir(".");
    ASSERT_NE(d, nullptr);
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".snd") == 0)
            listing.push_back(name);
    }
    closedir(d);

    const std::vector<std::string> names = scanned();
    EXPECT_EQ(names.size(), 1000u);
    EXPECT_EQ(names, listing); // not sorted, not reordered
}

TEST(RomScan, ReplacesTheListAndKeepsTheSelection) {
    ScratchDir dir;
    ScratchDir::write("old.snd", {0});
    RomBrowser browser;
    browser.selectedIndex = 7;
    browser.scan();
    EXPECT_EQ(browser.fileNames, std::vector<std::string>{"old.snd"});

    std::filesystem::remove("old.snd");
    ScratchDir::write("new.snd", {0});
    browser.scan();
    EXPECT_EQ(browser.fileNames, std::vector<std::string>{"new.snd"});
    EXPECT_EQ(browser.selectedIndex, 7);

    std::filesystem::remove("new.snd");
    browser.scan();
    EXPECT_TRUE(browser.fileNames.empty());
}

TEST(RomScan, AWorkingDirectoryThatIsGoneGivesAnEmptyList) {
    ScratchDir dir;
    std::filesystem::create_directory("gone");
    ScratchDir::write("gone/a.snd", {0});
    std::filesystem::current_path("gone");
    std::filesystem::remove_all(dir.path / "gone");

    RomBrowser browser;
    browser.fileNames = {"stale.snd"};
    EXPECT_NO_THROW(browser.scan());
    EXPECT_TRUE(browser.fileNames.empty());
}

} // namespace
