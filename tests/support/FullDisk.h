#pragma once

#include <sys/resource.h>

#include <csignal>

// While it lives, no file this process writes can grow past `bytes`: a disk that has filled
// up. A write past it fails (EFBIG) instead of killing the process with SIGXFSZ.
struct FullDisk {
    rlimit saved{};
    explicit FullDisk(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk() { setrlimit(RLIMIT_FSIZE, &saved); }
};
