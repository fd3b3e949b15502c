#include "audio/WavFile.h"

#include "audio/AudioEngine.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Where a chain of symbolic links starting at path ends; a relative link is read against
// the directory that holds it.
fs::path followLinks(fs::path path, std::error_code& ec) {
    for (int hops = 0; hops < 40; ++hops) {
        if (!fs::is_symlink(fs::symlink_status(path, ec))) {
            ec.clear(); // a path that is missing or cannot be looked at is written as it is
            return path;
        }
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) return path;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return path;
}

} // namespace

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

bool writeWav(const std::string& requested, const std::vector<float>& samples, WavFormat format,
              std::string& error) {
    const std::string failed = "cannot write " + requested + ": ";
    // The finished file is renamed into place, which would replace a device such as
    // /dev/null or a symbolic link itself: links are followed, and only regular files are
    // replaced.
    std::error_code ec;
    const std::string path = followLinks(requested, ec).string();
    struct stat existing {};
    const bool exists = !ec && stat(path.c_str(), &existing) == 0;
    if (ec || (exists && !S_ISREG(existing.st_mode))) {
        error = failed + (ec ? ec.message() : "not a regular file");
        return false;
    }
    mode_t mode = existing.st_mode & 07777;
    if (!exists) { // mkstemp makes the file private; a new WAV is an ordinary document
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
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
    // libsndfile gets a descriptor of its own, which it closes, on a failed open as well
    // (whatever it is told); ours stays open for the sync.
    const int own = dup(fd);
    SNDFILE* file = own < 0 ? nullptr : sf_open_fd(own, SFM_WRITE, &info, SF_TRUE);
    bool written = file != nullptr;
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
    // On the disk before it replaces anything, so that a crash leaves the old file or the new.
    if (written && (fchmod(fd, mode) != 0 || fsync(fd) != 0)) {
        error = failed + std::strerror(errno);
        written = false;
    }
    close(fd);
    if (written && std::rename(temp.c_str(), path.c_str()) != 0) {
        error = failed + std::strerror(errno);
        written = false;
    }
    if (!written) {
        std::remove(temp.c_str());
        return false;
    }
    // And the rename itself.
    const fs::path directory = fs::path(path).parent_path();
    const int dirFd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}
