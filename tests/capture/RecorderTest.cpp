#include "capture/Recorder.h"
#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "tests/support/FullDisk.h"
#include "tests/support/Machine.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <thread>

namespace {

TEST(SampleRing, KeepsOrderAcrossTheWrapAndCountsWhatDoesNotFit) {
    SampleRing ring(8);
    const float in[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    float out[16] = {};
    ring.push(in, 6);
    ASSERT_EQ(ring.pop(out, 5), 5u);
    ring.push(in + 6, 8); // 7 fit, wrapping; 13 is dropped
    EXPECT_EQ(ring.dropped(), 1u);
    ASSERT_EQ(ring.pop(out, 16), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], 5 + i);
}

TEST(SampleRing, OneProducerOneConsumer) {
    SampleRing ring(64);
    constexpr int total = 200000;
    std::vector<float> all(total);
    std::iota(all.begin(), all.end(), 0.0f);
    std::thread producer([&] {
        for (int next = 0; next < total; next += 37)
            ring.push(&all[next], static_cast<std::size_t>(std::min(37, total - next)));
    });
    std::uint64_t received = 0;
    float last = -1, out[50];
    for (bool done = false; !done;) {
        done = ring.dropped() + received == total;
        for (std::size_t n = ring.pop(out, 50), i = 0; i < n; ++i, ++received) {
            ASSERT_GT(out[i], last);
            last = out[i];
        }
    }
    producer.join();
    EXPECT_EQ(received + ring.dropped(), std::uint64_t{total});
}

struct Rig : ScratchDir {
    Machine m;
    ControlBlock control;
    AudioEngine engine;
    Recorder recorder;
    Rig() {
        engine.cpu = &m.cpu, engine.control = &control, recorder.attach(engine);
        m.program(0xF800, {0x4C, 0xB7, 0x04, 0x00, 0x20, 0xFA}); // inca; staa $0400; bra
    }
    std::vector<float> play(int samples) {
        std::vector<float> out(static_cast<std::size_t>(samples));
        audioCallback(&engine, reinterpret_cast<Uint8*>(out.data()), samples * 4);
        return out;
    }
    static std::vector<float> read(const std::string& path) {
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        std::vector<float> samples(f ? static_cast<std::size_t>(info.frames) : 0);
        if (f) sf_readf_float(f, samples.data(), info.frames), sf_close(f);
        return samples;
    }
};

TEST(Recorder, TakesTheFirstFreeNumberAndHoldsWhatTheCallbackOutput) {
    Rig rig;
    ScratchDir::write("hummbox-001.wav", {1});
    std::filesystem::create_symlink("nowhere", "hummbox-002.wav");
    std::vector<float> expected = rig.play(100); // before the recording: not in it
    ASSERT_TRUE(rig.recorder.start());
    expected = rig.play(300);
    rig.control.running = true;
    for (int i = 0; i < 40; ++i) {
        const std::vector<float> more = rig.play(1024);
        expected.insert(expected.end(), more.begin(), more.end());
    }
    // Before it is closed (as after a crash) the file reads as written.
    for (int i = 0; i < 400 && rig.recorder.framesWritten() < expected.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Rig::read("hummbox-003.wav"), expected);
    std::uint32_t riffSize = 0; // what stricter readers go by
    std::ifstream("hummbox-003.wav", std::ios::binary)
        .seekg(4)
        .read(reinterpret_cast<char*>(&riffSize), 4);
    EXPECT_EQ(riffSize + 8, std::filesystem::file_size("hummbox-003.wav"));
    rig.recorder.stop();
    rig.play(50);
    EXPECT_EQ(rig.recorder.statusText(), "saved hummbox-003.wav 0.9 s");
    EXPECT_EQ(Rig::read("hummbox-003.wav"), expected);
    EXPECT_EQ(rig.recorder.samplesDropped(), 0u);
    ASSERT_TRUE(rig.recorder.start());
    EXPECT_EQ(rig.recorder.path(), "hummbox-004.wav");
}

TEST(Recorder, ADirectoryThatCannotBeWrittenIsReported) {
    Rig rig;
    ScratchDir::write("file", {1});
    for (const std::string dir : {"missing", "file"}) { // (root writes into any directory)
        EXPECT_FALSE(rig.recorder.start(dir));
        EXPECT_FALSE(rig.recorder.recording());
        EXPECT_NE(rig.recorder.statusText().find(": cannot record to " + dir + "/hummbox-001"),
                  std::string::npos);
    }
}

TEST(Recorder, AFullDiskStopsTheRecordingAndKeepsWhatFitted) {
    Rig rig;
    rig.control.running = true;
    {
        const FullDisk disk(64 * 1024);
        ASSERT_TRUE(rig.recorder.start());
        for (int i = 0; i < 200 && rig.recorder.recording(); ++i) {
            rig.play(1024);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            rig.recorder.service();
        }
    }
    EXPECT_FALSE(rig.recorder.recording());
    EXPECT_NE(rig.recorder.statusText().find(": recording hummbox-001.wav stopped"),
              std::string::npos)
        << rig.recorder.statusText();
    const std::size_t kept = Rig::read("hummbox-001.wav").size();
    EXPECT_GT(kept, 8000u);
    EXPECT_LE(kept, 16384u);
}

} // namespace
