#include "capture/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

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

// The temporary files open now, for removeTemporaries: a path is written into a free slot
// before the slot is marked, so a signal handler only ever reads whole paths.
struct Temporary {
    std::atomic<int> state{0}; // free, claimed, holding a path
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free); // so a signal handler may read it
Temporary temporaries[8];
constexpr int claimed = 1, held = 2;

int remember(const std::string& path) {
    for (int i = 0; i < int(std::size(temporaries)) && path.size() < PATH_MAX; ++i) {
        int empty = 0;
        if (temporaries[i].state.compare_exchange_strong(empty, claimed)) {
            std::memcpy(temporaries[i].path, path.c_str(), path.size() + 1);
            temporaries[i].state.store(held);
            return i;
        }
    }
    return -1;
}

void forget(int& slot) {
    if (slot >= 0) temporaries[slot].state.store(0);
    slot = -1;
}

} // namespace

void ReplacingFile::removeTemporaries() {
    for (Temporary& temporary : temporaries)
        if (temporary.state.load() == held) unlink(temporary.path);
}

ReplacingFile::~ReplacingFile() {
    discard();
}

void ReplacingFile::discard() {
    if (descriptor < 0) return;
    close(descriptor);
    descriptor = -1;
    std::remove(temp.c_str());
    forget(slot);
}

bool ReplacingFile::open(const std::string& path, std::string& error) {
    discard();
    requested = path;
    const std::string failed = "cannot write " + requested + ": ";
    // The finished file is renamed into place, which would replace a device such as
    // /dev/null or a symbolic link itself: links are followed, and only regular files are
    // replaced.
    std::error_code ec;
    target = followLinks(requested, ec).string();
    struct stat existing {};
    const bool exists = !ec && stat(target.c_str(), &existing) == 0;
    if (ec || (exists && !S_ISREG(existing.st_mode))) {
        lastReason = ec ? ec.message() : "not a regular file";
        error = failed + lastReason;
        return false;
    }
    mode = existing.st_mode & 07777;
    if (!exists) { // mkstemp makes the file private; a new output is an ordinary document
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    // A fresh name, as mkstemp would make, but known to removeTemporaries before the file
    // exists: a signal never finds a temporary file it cannot remove.
    std::random_device random;
    for (int attempt = 1;; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".part%08x", random());
        temp = target + suffix;
        slot = remember(temp);
        descriptor = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (descriptor >= 0) return true;
        const int why = errno;
        forget(slot);
        if (why != EEXIST || attempt == 100) {
            lastReason = std::strerror(why);
            error = failed + lastReason;
            return false;
        }
    }
}

bool ReplacingFile::commit(std::string& error) {
    const std::string failed = "cannot write " + requested + ": ";
    // On the disk before it replaces anything, so that a crash leaves the old file or the new.
    if (fchmod(descriptor, mode) != 0 || fsync(descriptor) != 0 ||
        std::rename(temp.c_str(), target.c_str()) != 0) {
        lastReason = std::strerror(errno);
        error = failed + lastReason;
        discard();
        return false;
    }
    forget(slot); // renamed: nothing is left to remove
    close(descriptor);
    descriptor = -1;
    // And the rename itself.
    const fs::path directory = fs::path(target).parent_path();
    const int dirFd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}
