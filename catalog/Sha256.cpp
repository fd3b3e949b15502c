#include "catalog/Sha256.h"

#include <nettle/sha2.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

bool sha256OfFile(const std::string& path, std::string& hex, std::string& error) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               std::fclose);
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    sha256_ctx context;
    sha256_init(&context);
    unsigned char block[65536];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, file.get())) > 0)
        sha256_update(&context, n, block);
    if (std::ferror(file.get())) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    hex.clear();
    for (const unsigned char byte : digest) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    return true;
}
