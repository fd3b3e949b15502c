#pragma once

#include <sys/types.h>

#include <string>

// An output file written under a temporary name beside its target and renamed over it only
// once complete and synced, so a failure or a crash never leaves a half-written file. A
// symbolic link is followed to the file it names, which need not exist yet, and stays a
// link; only a regular file (or a new one) is replaced, and it keeps its permissions.
// Errors are one line: "cannot write PATH: reason".
class ReplacingFile {
  public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Without a commit the temporary file is removed: the target stays as it was.
    ~ReplacingFile();

    // Creates the temporary file for path; false with the reason in error.
    bool open(const std::string& path, std::string& error);
    // The temporary file, open for writing.
    int fd() const { return descriptor; }
    // Syncs the temporary file and renames it over the target; false with the reason.
    bool commit(std::string& error);
    // Removes the temporary file now: the target stays as it was.
    void discard();
    // Removes the temporary file of every ReplacingFile open at this moment, as a signal
    // handler must before the process ends: it only unlinks, so it is async-signal-safe.
    // (Eight at once are known; a ninth would be left.)
    static void removeTemporaries();
    // The last failure's reason alone, for messages that put it first.
    const std::string& reason() const { return lastReason; }

  private:
    std::string requested;
    std::string target;
    std::string temp;
    int descriptor = -1;
    mode_t mode = 0;
    int slot = -1; // where removeTemporaries finds temp
    std::string lastReason;
};
