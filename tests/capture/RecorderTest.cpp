#include "capture/Recorder.h"
#include "tests/support/AudioRig.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace {

// The samples of a 48 kHz mono float WAV; none from any other file.
std::vector<float> readWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    const bool ours = info.samplerate == 48000 && info.channels == 1 &&
                      info.format == (SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    std::vector<float> samples(f && ours ? static_cast<std::size_t>(info.frames) : 0);
    if (f) sf_readf_float(f, samples.data(), static_cast<sf_count_t>(samples.size())), sf_close(f);
    return samples;
}

} // namespace

// The file holds what the callback output while it was recording, silence included, and
// reads so before it is closed (as after a crash), for stricter readers too.
TEST(Recorder, HoldsWhatTheCallbackOutput) {
    ScratchDir dir;
    AudioRig rig;
    Recorder recorder;
    recorder.attach(rig.engine);
    rig.m.program(0xF800, {0x4C, 0xB7, 0x04, 0x00, 0x20, 0xFA}); // inca; staa $0400; bra
    rig.play(100);                                               // not in the file
    ASSERT_TRUE(recorder.start());
    std::vector<float> expected = rig.play(300);
    rig.control.running = true;
    const std::vector<float> more = rig.play(40 * 1024);
    expected.insert(expected.end(), more.begin(), more.end());
    for (int i = 0; i < 2000 && recorder.framesWritten() < expected.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(recorder.statusText(), "REC hummbox-001.wav 0.9 s");
    EXPECT_EQ(readWav("hummbox-001.wav"), expected);
    std::uint32_t riffSize = 0;
    std::ifstream("hummbox-001.wav", std::ios::binary)
        .seekg(4)
        .read(reinterpret_cast<char*>(&riffSize), 4);
    EXPECT_EQ(riffSize + 8, std::filesystem::file_size("hummbox-001.wav"));
    recorder.stop();
    rig.play(50);
    EXPECT_EQ(recorder.statusText(), "saved hummbox-001.wav 0.9 s");
    EXPECT_EQ(readWav("hummbox-001.wav"), expected);
    EXPECT_EQ(recorder.samplesDropped(), 0u);
}
