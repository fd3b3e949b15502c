#include "capture/NumberedFile.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>

NumberedFile NumberedFile::create(const std::string& directory, const char* stem, const char* ext) {
    NumberedFile file;
    for (int number = 1; number <= maxNumber; ++number) {
        char name[64];
        std::snprintf(name, sizeof name, "%s-%03d%s", stem, number, ext);
        file.name = name;
        file.path = directory.empty() || directory == "." ? file.name : directory + "/" + file.name;
        file.fd = open(file.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        file.error = file.fd < 0 ? errno : 0;
        if (file.error != EEXIST) break;
    }
    return file;
}
