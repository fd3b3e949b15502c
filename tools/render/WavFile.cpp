#include "tools/render/WavFile.h"

#include "audio/AudioEngine.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool writeWav(const std::string& requested, const std::vector<float>& samples, WavFormat format,
              std::string& error) {
    const std::string failed = "cannot write " + requested + ": ";
    // The finished file is renamed into place, which would replace a device such as
    // /dev/null or a symbolic link itself: only regular files are written, and an existing
    // link is followed to the file it names.
    std::string path = requested;
    struct stat existing {};
    if (stat(requested.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            error = failed + "not a regular file";
            return false;
        }
        if (char* resolved = realpath(requested.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }

    std::string temp = path + ".partXXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = failed + std::strerror(errno);
        return false;
    }
    SF_INFO info{};
    info.samplerate = AudioEngine::sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | (format == WavFormat::Pcm16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT);
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (file == nullptr) {
        error = failed + sf_strerror(nullptr);
        close(fd);
        std::remove(temp.c_str());
        return false;
    }
    const sf_count_t frames = static_cast<sf_count_t>(samples.size());
    const bool written = sf_writef_float(file, samples.data(), frames) == frames;
    if (!written) error = failed + sf_strerror(file);
    const int closed = sf_close(file);
    if (written && closed != 0) error = failed + sf_error_number(closed);
    if (!written || closed != 0) {
        std::remove(temp.c_str());
        return false;
    }
    // mkstemp makes the file private; a WAV is an ordinary document.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp.c_str(), 0666 & ~mask);
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = failed + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
