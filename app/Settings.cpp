#include "app/Settings.h"

#include "capture/ReplacingFile.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

constexpr std::uintmax_t largestFile = 64 * 1024;

bool number(const std::string& text, int lowest, int highest, int& out) {
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc{} && at == end && out >= lowest && out <= highest;
}

} // namespace

std::filesystem::path Settings::path(const char* xdgConfigHome, const char* home) {
    std::filesystem::path base;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
        base = xdgConfigHome;
    else if (home != nullptr && home[0] != '\0')
        base = std::filesystem::path(home) / ".config";
    else
        return {};
    return base / "hummbox" / "settings.ini";
}

bool Settings::read(const std::filesystem::path& path, Settings& settings, std::string& error) {
    settings = Settings{};
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec) return true; // nothing remembered yet
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    if (size > largestFile) {
        error = "larger than 64 KiB";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    Settings read;
    std::istringstream lines(text.str());
    int lineNumber = 0;
    for (std::string line; std::getline(lines, line);) {
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        bool good = equals != std::string::npos;
        if (!good) {
        } else if (key == "width") {
            good = number(value, 1, 65535, read.width);
        } else if (key == "height") {
            good = number(value, 1, 65535, read.height);
        } else if (key == "scale") {
            good = number(value, 1, 64, read.scale);
        } else if (key == "last") {
            good = value.empty() || value[0] == '/';
            read.lastImage = value;
        } else {
            good = false;
        }
        if (!good) {
            error = "line " + std::to_string(lineNumber) + " is not a setting: " + line;
            return false;
        }
    }
    settings = read;
    return true;
}

bool Settings::write(const std::filesystem::path& path, std::string& error) const {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) {
        error = "cannot make " + path.parent_path().string() + ": " + ec.message();
        return false;
    }
    std::ostringstream text;
    text << "# hummbox remembers these between runs\n";
    if (width > 0 && height > 0) text << "width=" << width << "\nheight=" << height << '\n';
    if (scale > 0) text << "scale=" << scale << '\n';
    if (!lastImage.empty() && lastImage.find('\n') == std::string::npos)
        text << "last=" << lastImage << '\n';
    const std::string bytes = text.str();
    ReplacingFile file;
    if (!file.open(path.string(), error)) return false;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(file.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot write " + path.string() + ": " + std::strerror(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return file.commit(error);
}
