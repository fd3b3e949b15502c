#include "capture/Recorder.h"

#include "audio/AudioEngine.h"

#include <sndfile.h>

#include <cstdio>

namespace {

constexpr std::size_t chunkSamples = 8192;

} // namespace

Recorder::Recorder()
    : RingFileWriter<SampleRing>(ringSamples, chunkSamples,
                                 {"hummbox", ".wav", "record", "recording"}) {}

void Recorder::attach(AudioEngine& engine) {
    tap = &engine.recordTap;
}

bool Recorder::openFormat(int fd, std::string& reason) {
    SF_INFO info{};
    info.samplerate = AudioEngine::sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE); // closes fd, on failure as well
    if (file == nullptr) {
        reason = sf_strerror(nullptr);
        return false;
    }
    // The header follows every write, so that the file reads as a whole recording at any
    // moment: after a crash, or a disk that filled up.
    sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    return true;
}

bool Recorder::writeItems(const float* samples, std::size_t n, std::string& reason) {
    const auto count = static_cast<sf_count_t>(n);
    if (sf_writef_float(file, samples, count) == count) return true;
    reason = sf_strerror(file);
    return false;
}

bool Recorder::closeFormat(bool failed, std::string& reason) {
    const int closed = sf_close(file);
    file = nullptr;
    if (failed) return false;
    if (closed != 0) {
        reason = sf_error_number(closed);
        return false;
    }
    if (samplesDropped() > 0) {
        // The file is whole, but not all that played is in it.
        fail("the disk did not keep up",
             "recording " + path() + " lost " + std::to_string(samplesDropped()) + " samples");
    }
    return true;
}

std::string Recorder::statusText() const {
    if (!error().empty()) return error();
    if (name().empty()) return "";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " %.1f s",
                  static_cast<double>(framesWritten()) / AudioEngine::sampleRate);
    return (recording() ? "REC " : "saved ") + name() + seconds;
}
