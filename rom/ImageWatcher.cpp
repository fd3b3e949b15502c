#include "rom/ImageWatcher.h"

#include "rom/RomImage.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr std::uint32_t watchedEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE |
                                        IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                        IN_MOVE_SELF;

} // namespace

ImageWatcher::~ImageWatcher() {
    stop();
}

void ImageWatcher::stop() {
    if (inotifyFd >= 0) ::close(inotifyFd); // closing drops its watch too
    inotifyFd = watchFd = -1;
    image.clear();
    listing.clear();
    settling = false;
}

void ImageWatcher::watch(const std::filesystem::path& path, std::uint64_t nowMs, bool polling) {
    stop();
    image = path;
    listing = std::filesystem::path(path).replace_extension(".lst");
    if (!polling) {
        inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        const std::filesystem::path directory =
            image.parent_path().empty() ? "." : image.parent_path();
        if (inotifyFd >= 0)
            watchFd = inotify_add_watch(inotifyFd, directory.c_str(), watchedEvents);
        if (watchFd < 0 && inotifyFd >= 0) {
            ::close(inotifyFd);
            inotifyFd = -1;
        }
    }
    reported = look();
    lookedAt = nowMs;
}

ImageWatcher::Stamps ImageWatcher::look() const {
    const auto stampOf = [](const std::filesystem::path& path) {
        Stamp stamp;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) return stamp; // missing (or unreachable)
        stamp.exists = true;
        stamp.regular = S_ISREG(info.st_mode);
        stamp.size = static_cast<std::uintmax_t>(info.st_size);
        stamp.mtimeNs = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
        stamp.inode = info.st_ino;
        return stamp;
    };
    return {stampOf(image), stampOf(listing)};
}

bool ImageWatcher::eventsSeen() {
    alignas(inotify_event) char buffer[4096];
    bool seen = false;
    const std::string imageName = image.filename().string();
    const std::string listingName = listing.filename().string();
    for (ssize_t n; (n = ::read(inotifyFd, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            const std::string name = event->len > 0 ? event->name : "";
            // The directory itself went, or events were lost: look, and from now on poll.
            if ((event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
                seen = true;
                if ((event->mask & IN_Q_OVERFLOW) == 0) watchFd = -1;
            }
            if (name == imageName || name == listingName) seen = true;
            at += sizeof(inotify_event) + event->len;
        }
    }
    if (watchFd < 0) {
        ::close(inotifyFd);
        inotifyFd = -1;
    }
    return seen;
}

ImageWatcher::Change ImageWatcher::poll(std::uint64_t nowMs, std::string& why) {
    if (!watching()) return Change::None;
    if (!settling) {
        const bool due = inotifyFd >= 0 ? eventsSeen() : nowMs - lookedAt >= pollMs;
        if (!due) return Change::None;
        lookedAt = nowMs;
        const Stamps now = look();
        if (now == reported) return Change::None;
        candidate = now;
        settling = true;
        return Change::None;
    }
    if (inotifyFd >= 0) eventsSeen(); // what the look below sees anyway
    if (nowMs - lookedAt < settleMs) return Change::None;
    const Stamps now = look();
    lookedAt = nowMs;
    if (now != candidate) { // still being written: wait for it to hold still
        candidate = now;
        return Change::None;
    }
    settling = false;
    reported = now;
    const Stamp& file = now.image;
    if (!file.exists) {
        why = "deleted or moved away";
        return Change::Gone;
    }
    if (!file.regular) {
        why = "not a regular file";
        return Change::Invalid;
    }
    if (file.size < RomImage::size) {
        why = "too short: " + std::to_string(file.size) + " bytes";
        return Change::Invalid;
    }
    return Change::Load;
}
