// Fuzzes the ROM scan and the ROM load: the input becomes a private working directory of
// files and directories with arbitrary names and contents. The scan must list exactly the
// names whose extension is ".snd", each once; loading each listed name, and names that do
// not exist, must either load the file's first 2048 bytes or change nothing at all.
//
// Layout, repeated until the input ends: kind nameLength name... contentLength(2) content...
//   kind bit 0: a directory; bit 1: ".snd" appended to the name; bit 2: content repeated to
//   64 times its stated length (files up to 4 MiB).
#include "app/App.h"
#include "fuzz/FuzzInput.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Entry {
    bool directory = false;
    std::vector<std::uint8_t> content;
};

App* app = nullptr;
fs::path directory;
fs::path home; // the fuzzer's own working directory, where it keeps its corpus

bool isRom(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && name.substr(dot) == ".snd";
}

std::string nameFrom(FuzzInput& in, std::uint8_t kind) {
    std::string name;
    for (int n = in.u8(); n > 0 && !in.empty(); --n) {
        const char c = static_cast<char>(in.u8());
        name += (c == '/' || c == '\0') ? '_' : c;
    }
    if (kind & 0x02) name += ".snd";
    if (name.empty() || name == "." || name == "..") name = "n" + name;
    return name;
}

// Loads name and checks the outcome against what the directory holds under it.
void loadAndCheck(const std::string& name, const std::map<std::string, Entry>& made) {
    App& a = *app;
    std::vector<std::uint8_t> before = a.board.memory;
    const std::uint16_t pcBefore = a.cpu.PC;
    const std::string loadedBefore = a.browser.loadedFileName;
    a.mode = App::modeRomSelect;

    a.browser.loadImage(a, name);

    const auto it = made.find(name);
    const std::uint8_t* memory = a.board.memory.data();
    if (it == made.end() || it->second.directory) {
        FUZZ_CHECK(a.mode == App::modeRomSelect);
        FUZZ_CHECK(a.cpu.PC == pcBefore);
        FUZZ_CHECK(a.browser.loadedFileName == loadedBefore);
        FUZZ_CHECK(std::memcmp(memory, before.data(), Mc6802::memorySize) == 0);
        return;
    }
    const std::vector<std::uint8_t>& content = it->second.content;
    const std::size_t n = std::min<std::size_t>(content.size(), Mc6802::romSize);
    FUZZ_CHECK(a.mode == App::modeDebugger);
    FUZZ_CHECK(a.browser.loadedFileName == name);
    FUZZ_CHECK(std::equal(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(n),
                          memory + Mc6802::romBase));
    FUZZ_CHECK(std::memcmp(memory + Mc6802::romBase + n, before.data() + Mc6802::romBase + n,
                           Mc6802::romSize - n) == 0);
    FUZZ_CHECK(std::memcmp(memory + 0x0500, before.data() + 0x0500, Mc6802::romBase - 0x0500) == 0);
    FUZZ_CHECK(a.cpu.PC == (memory[0xFFFE] << 8 | memory[0xFFFF]));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string pattern = (fs::temp_directory_path() / "hummbox-rom-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    directory = pattern;
    home = fs::current_path();
    // An App whose memory is set up as its start-up does, without a window or audio device.
    app = new App;
    app->board.allocate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory))
        fs::remove_all(entry.path(), ec);

    // The scan and the load work in the working directory; the fuzzer's relative paths need
    // its own back afterwards.
    fs::current_path(directory);
    FuzzInput in{data, size};
    std::map<std::string, Entry> made;
    std::vector<std::string> missing;
    while (!in.empty()) {
        const std::uint8_t kind = in.u8();
        const std::string name = nameFrom(in, kind);
        Entry entry;
        entry.directory = kind & 0x01;
        const std::size_t stated = in.u16();
        const std::size_t length = (kind & 0x04) ? stated * 64 : stated;
        const std::size_t given = std::min(stated, in.left());
        std::vector<std::uint8_t> pattern(given);
        in.take(pattern.data(), given);
        for (std::size_t i = 0; i < length; ++i)
            entry.content.push_back(given ? pattern[i % given] : static_cast<std::uint8_t>(i));
        if (made.count(name)) continue;

        bool created = false;
        if (entry.directory) {
            created = fs::create_directory(name, ec);
        } else {
            std::ofstream out(name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(entry.content.data()),
                      static_cast<std::streamsize>(entry.content.size()));
            created = static_cast<bool>(out);
        }
        // Names the file system refuses (longer than 255 bytes) exist only in the list of
        // names to load.
        if (created)
            made.emplace(name, std::move(entry));
        else
            missing.push_back(name);
    }

    app->browser.scan();
    std::vector<std::string> listed = app->browser.fileNames;
    std::vector<std::string> expected;
    for (const auto& [name, entry] : made)
        if (isRom(name)) expected.push_back(name);
    std::sort(listed.begin(), listed.end());
    FUZZ_CHECK(listed == expected);

    for (const std::string& name : app->browser.fileNames)
        loadAndCheck(name, made);
    for (const std::string& name : missing)
        loadAndCheck(name, made);
    fs::current_path(home);
    return 0;
}
