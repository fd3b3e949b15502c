#pragma once

#include <string>

// A file created under the first free numbered name in a directory.
struct NumberedFile {
    static constexpr int maxNumber = 999;

    int fd = -1;      // open for writing; -1 when nothing could be created
    int error = 0;    // then the errno value: EEXIST when every number is taken
    std::string name; // "stem-001.ext"
    std::string path; // name inside the directory: the one created, or the one that failed

    // Creates stem-001.ext, or the next number when that exists, up to 999. O_EXCL claims a
    // name atomically, so nothing that exists (even a dangling link) is overwritten, whoever
    // else writes there.
    static NumberedFile create(const std::string& directory, const char* stem, const char* ext);
};
