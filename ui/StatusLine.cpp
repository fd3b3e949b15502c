#include "ui/StatusLine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void StatusLine::fit(const char* text, std::size_t length, char* out, std::size_t columns) {
    if (length <= columns) {
        std::memcpy(out, text, length);
        return;
    }
    const std::size_t tail = (columns - 3) / 3, head = columns - 3 - tail;
    std::memcpy(out, text, head);
    std::memcpy(out + head, "...", 3);
    std::memcpy(out + head + 3, text + length - tail, tail);
}

void StatusLine::clockText(std::int32_t speed, char (&out)[24]) {
    std::snprintf(out, sizeof out, "%ld kHz", static_cast<long>(speed) * sampleRate / 1000);
}

void StatusLine::format(int row, char (&out)[columns + 1]) const {
    std::memset(out, ' ', columns);
    out[columns] = '\0';
    char text[64];
    switch (row) {
    case 0: {
        // The notice, right-aligned, leaves the name at least 8 columns ("demo.snd").
        const std::size_t shown = std::min(notice.size(), std::size_t{columns - 9});
        const std::size_t room = columns - (shown == 0 ? 0 : shown + 1);
        fit(romName.data(), romName.size(), out, room);
        fit(notice.data(), notice.size(), out + columns - shown, shown);
        break;
    }
    case 1: {
        char clock[24];
        clockText(speed, clock);
        const int n =
            std::snprintf(text, sizeof text, "speed %ld (%s) %s", static_cast<long>(speed), clock,
                          running ? "running" : "stopped");
        fit(text, static_cast<std::size_t>(n), out, columns);
        break;
    }
    case 2: {
        static constexpr char hint[] = "H - help";
        constexpr std::size_t hintLength = sizeof hint - 1;
        fit(instructionSet.data(), instructionSet.size(), out, columns - hintLength - 1);
        std::memcpy(out + columns - hintLength, hint, hintLength);
        break;
    }
    case 3:
        if (!recording.empty()) {
            fit(recording.data(), recording.size(), out, columns);
        } else if (!label.empty()) {
            const std::string text = "PC in " + label;
            fit(text.data(), text.size(), out, columns);
        }
        break;
    default: break;
    }
}
