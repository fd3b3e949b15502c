#include "app/CommandLine.h"

#include "rom/RomBrowser.h"
#include "ui/Version.h"

#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>

namespace {

constexpr const char* usage =
    "usage: hummbox [--cpu SET] [--last] [--script FILE] [IMAGE.snd | DIRECTORY]\n"
    "Emulates the sound board and its debugger.\n"
    "  IMAGE.snd     load this ROM image at once and show the debugger, stopped; the\n"
    "                selection screen (L) lists the image's directory\n"
    "  DIRECTORY     list the .snd files of this directory on the selection screen\n"
    "                (without either: the working directory)\n"
    "  --cpu SET     board (default) or complete: the instruction set\n"
    "  --last        without IMAGE or DIRECTORY: load the image loaded last time\n"
    "  --script FILE run FILE's lines as debugger commands once the image is loaded\n"
    "  --help        show this and exit\n"
    "  --version     show the version and exit\n"
    "  --            end of options: a path after it may begin with '-'\n";

CommandLine fail(const std::string& text) {
    CommandLine result;
    result.exitStatus = 2;
    result.message = "hummbox: " + text + "\n";
    return result;
}

CommandLine done(const std::string& text) {
    CommandLine result;
    result.exitStatus = 0;
    result.message = text;
    return result;
}

} // namespace

std::string CommandLine::usePath(const std::filesystem::path& path, Options& options) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return ec ? ec.message() : "no such file or directory";
    if (std::filesystem::is_directory(status)) {
        std::filesystem::directory_iterator probe(path, ec);
        if (ec) return "cannot list the directory: " + ec.message();
        options.directory = path;
        return {};
    }
    if (!std::filesystem::is_regular_file(status)) return "not a file or directory";
    RomBrowser::Image image;
    if (!RomBrowser::readImage(path, image))
        return std::string("cannot read the image: ") + SDL_GetError();
    options.directory = path.parent_path();
    options.image = path.filename().string();
    return {};
}

std::string CommandLine::useLast(Options& options, const std::string& last) {
    if (!options.last || !options.image.empty() || !options.directory.empty()) return {};
    const std::string why = last.empty() ? "no image loaded yet" : usePath(last, options);
    if (why.empty()) return {};
    options.directory.clear();
    options.image.clear();
    return "hummbox: --last: " + (last.empty() ? "" : last + ": ") + why +
           "; listing the working directory\n";
}

namespace {

// The whole of a script file, or the reason it cannot be read.
std::string readScript(const std::string& path, std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::strerror(errno);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    const int error = std::ferror(file) != 0 ? errno : 0;
    std::fclose(file);
    return error != 0 ? std::strerror(error) : "";
}

} // namespace

CommandLine CommandLine::parse(int argc, const char* const* argv) {
    CommandLine result;
    bool optionsEnd = false, havePath = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnd && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                optionsEnd = true;
            } else if (arg == "--help" || arg == "-h") {
                return done(usage);
            } else if (arg == "--version") {
                return done("hummbox " HUMMBOX_VERSION "\n");
            } else if (arg == "--last") {
                result.options.last = true;
            } else if (arg == "--cpu" || arg.starts_with("--cpu=")) {
                std::string_view set;
                if (arg == "--cpu") {
                    if (++i == argc) return fail("--cpu: needs a value, board or complete");
                    set = argv[i];
                } else {
                    set = arg.substr(6);
                }
                if (!parseInstructionSet(set, result.options.cpu))
                    return fail(std::string(argv[i]) + ": --cpu takes board or complete");
            } else if (arg == "--script" || arg.starts_with("--script=")) {
                std::string& name = result.options.scriptName;
                if (arg == "--script" && ++i == argc) return fail("--script: needs a file");
                name = arg == "--script" ? argv[i] : std::string(arg.substr(9));
                if (const std::string why = readScript(name, result.options.script); !why.empty())
                    return fail(name + ": cannot read the script: " + why);
            } else {
                return fail(std::string(arg) + ": unknown option (try --help)");
            }
            continue;
        }
        if (havePath) return fail(std::string(arg) + ": one image or directory only");
        havePath = true;
        const std::string why = usePath(std::filesystem::path(arg), result.options);
        if (!why.empty()) return fail(std::string(arg) + ": " + why);
    }
    return result;
}
