#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Watches a loaded image and the listing beside it (demo.lst for demo.snd) for changes,
// whether written in place or replaced by a rename. inotify on their directory reports a
// change at once; without it the files are looked at every pollMs. A change is reported only
// once the files have settled: the same size and modification time at two looks settleMs
// apart. Main thread; the caller passes the time, so that a test may drive the clock.
class ImageWatcher {
  public:
    static constexpr std::uint64_t settleMs = 100;
    static constexpr std::uint64_t pollMs = 250;

    enum class Change : std::uint8_t {
        None,
        Load,    // the image (or its listing) changed and the image is valid: load it
        Invalid, // the image changed but is not one; why says so
        Gone,    // the image was deleted or moved away
    };

    ImageWatcher() = default;
    ImageWatcher(const ImageWatcher&) = delete;
    ImageWatcher& operator=(const ImageWatcher&) = delete;
    ~ImageWatcher();

    // Starts watching image as it is now, forgetting any earlier one. With polling set, or
    // when inotify cannot be had, the files are looked at every pollMs.
    void watch(const std::filesystem::path& image, std::uint64_t nowMs, bool polling = false);
    void stop();
    bool watching() const { return !image.empty(); }
    bool usesInotify() const { return watchFd >= 0; }

    // What changed since the last report; each settled change is reported once. For Invalid
    // and Gone, why holds the reason in a few words.
    Change poll(std::uint64_t nowMs, std::string& why);

  private:
    struct Stamp {
        bool exists = false;
        bool regular = false;
        std::uintmax_t size = 0;
        std::int64_t mtimeNs = 0;
        std::uint64_t inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct Stamps {
        Stamp image, listing;
        bool operator==(const Stamps&) const = default;
    };
    Stamps look() const;
    bool eventsSeen(); // drains inotify; true when one named the image or the listing

    std::filesystem::path image, listing;
    int inotifyFd = -1;
    int watchFd = -1;
    Stamps reported;            // as last loaded or reported
    Stamps candidate;           // as seen at the last look while settling
    bool settling = false;      // a change was seen; waiting for it to hold still
    std::uint64_t lookedAt = 0; // when candidate was taken (settling) or the last poll look
};
