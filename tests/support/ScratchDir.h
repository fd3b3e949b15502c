#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

// A fresh temporary directory that becomes the working directory for the life of the
// object; the old working directory comes back and the directory is removed afterwards.
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

    // Writes a file in the working directory.
    static void write(const std::string& name, const std::vector<unsigned char>& bytes) {
        std::ofstream out(name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
};
