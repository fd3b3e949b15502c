#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A fresh temporary directory that is the working directory for the life of the object.
struct ScratchDir {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::string path = (std::filesystem::temp_directory_path() / "hummbox-test-XXXXXX").string();
    std::error_code ec;

    ScratchDir() { std::filesystem::current_path(mkdtemp(path.data())); }
    ~ScratchDir() {
        std::filesystem::current_path(previous, ec);
        std::filesystem::remove_all(path, ec);
    }
    static void write(const std::string& name, const std::vector<unsigned char>& bytes) {
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};
