#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A fresh temporary directory that is the working directory for the life of the object;
// afterwards the old working directory comes back and the directory is removed.
struct ScratchDir {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path path;

    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "hummbox-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path = pattern;
        std::filesystem::current_path(path);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::current_path(previous, ec);
        std::filesystem::remove_all(path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    static void write(const std::string& name, const std::vector<unsigned char>& bytes) {
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
};
