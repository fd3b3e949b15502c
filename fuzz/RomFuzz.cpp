// ROM scan and load in a directory built from: kind nameLength name... contentLength(2) content...
// (kind bit 0: a directory; 1: ".snd" appended; 2: content repeated 64 times). The scan lists
// exactly the ".snd" names; loading any name loads the file or changes nothing.
#include "app/App.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

App* app = nullptr;       // memory allocated as start-up does; no window or audio device
fs::path directory, home; // home: the fuzzer's own working directory, with its corpus

void loadAndCheck(const std::string& name, const std::map<std::string, std::string>& files) {
    const std::vector<std::uint8_t> before = app->board.memory;
    const std::string loadedBefore = app->browser.loadedFileName;
    app->mode = App::modeRomSelect;
    app->browser.loadImage(*app, name);
    const std::vector<std::uint8_t>& memory = app->board.memory;
    const auto file = files.find(name);
    if (file == files.end()) {
        FUZZ_CHECK(app->mode == App::modeRomSelect && app->browser.loadedFileName == loadedBefore);
        FUZZ_CHECK(memory == before);
        return;
    }
    std::vector<std::uint8_t> expected = before; // the PROM replaced, 0x0500 on kept, reset
    const std::size_t n = std::min<std::size_t>(file->second.size(), Mc6802::romSize);
    std::copy_n(file->second.begin(), n, expected.begin() + Mc6802::romBase);
    FUZZ_CHECK(app->mode == App::modeDebugger && app->browser.loadedFileName == name);
    FUZZ_CHECK(std::equal(memory.begin() + 0x0500, memory.end(), expected.begin() + 0x0500));
    FUZZ_CHECK(app->cpu.PC == (memory[0xFFFE] << 8 | memory[0xFFFF]));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string pattern = (fs::temp_directory_path() / "hummbox-rom-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    directory = pattern, home = fs::current_path();
    app = new App;
    app->board.allocate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory))
        fs::remove_all(entry.path(), ec);
    fs::current_path(directory); // the scan and the load work in the working directory

    FuzzInput in{data, size};
    std::map<std::string, std::string> files;
    std::vector<std::string> names, roms; // every name tried; those made with ".snd"
    while (!in.empty()) {
        const std::uint8_t kind = in.u8();
        std::string name, pattern, content;
        for (int n = in.u8(); n > 0 && !in.empty(); --n) {
            const char c = static_cast<char>(in.u8());
            name += (c == '/' || c == '\0') ? '_' : c;
        }
        if (kind & 0x02) name += ".snd";
        if (name.empty() || name == "." || name == "..") name = "n" + name;
        const std::size_t stated = in.u16();
        while (pattern.size() < stated && !in.empty())
            pattern += static_cast<char>(in.u8());
        for (std::size_t i = 0; i < ((kind & 0x04) ? stated * 64 : stated); ++i)
            content += pattern.empty() ? static_cast<char>(i) : pattern[i % pattern.size()];
        if (std::find(names.begin(), names.end(), name) != names.end()) continue;
        names.push_back(name);
        // Names the file system refuses (longer than 255 bytes) stay names of nothing.
        const bool made = (kind & 0x01) ? fs::create_directory(name, ec)
                                        : static_cast<bool>(std::ofstream(name) << content);
        if (made && !(kind & 0x01)) files.emplace(name, content);
        if (made && name.ends_with(".snd")) roms.push_back(name);
    }

    app->browser.scan();
    std::vector<std::string> listed = app->browser.fileNames;
    std::sort(listed.begin(), listed.end()), std::sort(roms.begin(), roms.end());
    FUZZ_CHECK(listed == roms);
    for (const std::string& name : names)
        loadAndCheck(name, files);
    fs::current_path(home);
    return 0;
}
