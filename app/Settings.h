#pragma once

#include <filesystem>
#include <string>

// What hummbox remembers between runs: the window's size and scale when it last closed and
// the last image loaded. Kept as "key=value" lines in $XDG_CONFIG_HOME/hummbox/settings.ini,
// or ~/.config/hummbox/settings.ini.
struct Settings {
    int width = 0; // the window's size; 0: not known
    int height = 0;
    int scale = 0;         // the whole-number scale of the picture in that window; 0: not known
    std::string lastImage; // an absolute path; empty: none

    // The file's place: under XDG_CONFIG_HOME when that is an absolute path, else under
    // HOME/.config; empty when neither is known.
    static std::filesystem::path path(const char* xdgConfigHome, const char* home);
    // Reads the file at path into settings; a missing file leaves the defaults. A damaged
    // one (a line that is not a known key=value, a size out of range, unreadable) also
    // leaves the defaults, and gives false with the reason in error.
    static bool read(const std::filesystem::path& path, Settings& settings, std::string& error);
    // Writes the file whole or not at all, making its directory; false with the reason.
    bool write(const std::filesystem::path& path, std::string& error) const;
};
