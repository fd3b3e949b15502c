#include "capture/WavFile.h"

#include "audio/AudioEngine.h"
#include "capture/ReplacingFile.h"

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

bool writeWav(const std::string& requested, const std::vector<float>& samples, WavFormat format,
              std::string& error) {
    ReplacingFile output;
    if (!output.open(requested, error)) return false;
    const std::string failed = "cannot write " + requested + ": ";
    SF_INFO info{};
    info.samplerate = AudioEngine::sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | (format == WavFormat::Pcm16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT);
    // libsndfile gets a descriptor of its own, which it closes, on a failed open as well
    // (whatever it is told); ours stays open for the sync.
    const int own = dup(output.fd());
    SNDFILE* file = own < 0 ? nullptr : sf_open_fd(own, SFM_WRITE, &info, SF_TRUE);
    bool written = file != nullptr;
    // Without the PEAK chunk, which carries the time of writing, the same samples make the
    // same file on every run.
    if (written) sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if (!written) error = failed + (own < 0 ? std::strerror(errno) : sf_strerror(nullptr));
    const sf_count_t frames = static_cast<sf_count_t>(samples.size());
    if (written && sf_writef_float(file, samples.data(), frames) != frames) {
        error = failed + sf_strerror(file);
        written = false;
    }
    if (file != nullptr) {
        const int closed = sf_close(file);
        if (written && closed != 0) error = failed + sf_error_number(closed);
        written = written && closed == 0;
    }
    return written && output.commit(error); // a failure leaves the target as it was
}
