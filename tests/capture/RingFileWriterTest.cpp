#include "capture/Recorder.h"
#include "capture/TraceWriter.h"
#include "tests/support/AudioRig.h"
#include "tests/support/FullDisk.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <type_traits>

namespace fs = std::filesystem;

// The recorder and the trace writer share the life of their files: each case runs on both,
// with a loop (bra to itself) running on the audio clock.
template <class Writer> struct RingFiles : testing::Test, ScratchDir, AudioRig {
    static constexpr bool wav = std::is_same_v<Writer, Recorder>;
    const std::string cannot = wav ? "cannot record to " : "cannot trace to ";
    const std::string stopped = wav ? "recording " : "trace "; // "trace PATH stopped"
    Writer writer;
    RingFiles() { writer.attach(engine), m.program(0xF800, {0x20, 0xFE}), control.running = true; }

    static std::string name(int n) {
        char text[32];
        std::snprintf(text, sizeof text, wav ? "hummbox-%03d.wav" : "hummbox-trace-%03d.txt", n);
        return text;
    }
    // The error ends so, after its reason.
    bool said(const std::string& what) const {
        return writer.error().ends_with(": " + what) && writer.error().size() > what.size() + 2;
    }
    // Plays with no file growing past `bytes`, servicing the writer as the main loop does
    // until the file has ended; false if it never does.
    bool fillTheDisk(std::uintmax_t bytes, int samples) {
        const FullDisk disk(bytes);
        this->play(samples);
        for (int i = 0; i < 2500 && writer.active(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2)), writer.service();
        return !writer.active();
    }
};
using Writers = testing::Types<Recorder, TraceWriter>;
TYPED_TEST_SUITE(RingFiles, Writers);

// Numbered files never overwrite or follow what exists, a dangling link neither; toggling
// again stops. A directory that is missing or is a file (root writes into any directory)
// starts nothing and says why.
TYPED_TEST(RingFiles, TakeTheFirstFreeNameInAWritableDirectory) {
    auto& writer = this->writer;
    const auto name = &TestFixture::name;
    ScratchDir::write(name(1), {1});
    fs::create_symlink("nowhere", name(2));
    for (const std::string& dir : {std::string("missing"), name(1)}) {
        EXPECT_FALSE(writer.start(dir) || writer.active());
        EXPECT_TRUE(this->said(this->cannot + dir + "/" + name(1))) << writer.error();
    }
    writer.toggle();
    EXPECT_EQ(std::tuple(writer.active(), writer.path()), std::tuple(true, name(3)));
    writer.toggle();
    fs::create_directory("sub");
    EXPECT_TRUE(!writer.active() && writer.start("sub") && writer.stop());
    EXPECT_EQ(std::tuple(fs::file_size(name(1)), fs::exists("nowhere"), writer.error()),
              std::tuple(1u, false, ""));
    EXPECT_TRUE(fs::exists(name(3)) && fs::exists("sub/" + name(1)));
}

// A full disk ends the file, which keeps what fitted, and says why; the sound plays on. A
// file that failed before it held anything (a header at most) is removed.
TYPED_TEST(RingFiles, AFullDiskEndsTheFileNotTheSound) {
    auto& writer = this->writer;
    const auto name = &TestFixture::name;
    ASSERT_TRUE(writer.start());
    EXPECT_TRUE(this->fillTheDisk(64 * 1024, 20 * 1024));
    EXPECT_EQ(this->play(2), (std::vector{dac(0), dac(0)}));
    EXPECT_TRUE(this->said(this->stopped + name(1) + " stopped")) << writer.error();
    EXPECT_EQ(fs::file_size(name(1)), 64u * 1024);

    ASSERT_TRUE(writer.start());
    EXPECT_EQ(writer.itemsWritten(), 0u); // counted anew for each file
    // Few enough records to wait in the trace's buffer for its first write.
    EXPECT_TRUE(this->fillTheDisk(fs::file_size(name(2)), 16));
    EXPECT_TRUE(this->said(this->stopped + name(2) + " stopped") && !fs::exists(name(2)))
        << writer.error();
}
