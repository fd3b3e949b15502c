#include "debug/Labels.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

// A listing beside the image that fails to read (a link to /proc/self/mem gives EIO) is
// ignored with one line that says so, as is any other unusable listing: the load goes on.
TEST(Labels, AListingThatCannotBeReadIsIgnoredWithOneLine) {
    ScratchDir dir;
    std::filesystem::create_symlink("/proc/self/mem", "tune.lst");
    const std::uint8_t image[2048] = {};
    Labels labels;
    labels.entries = {{0xF800, "stale"}};
    testing::internal::CaptureStderr();
    labels.load("tune.snd", image);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(labels.empty());
    EXPECT_EQ(said, "hummbox: ignoring the labels in tune.lst: cannot be read: " +
                        std::string(std::strerror(EIO)) + "\n");
}
