#include "ui/DebugPanel.h"

#include "ui/StatusLine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// value in decimal after label; a value too long for the row is shown in thousands (k),
// millions (M) and so on, so that the row keeps its leading digits and the magnitude.
void putCount(const char* label, std::uint64_t value, char* out, std::size_t columns) {
    static constexpr char units[] = " kMGTPE";
    const std::size_t labelLength = std::strlen(label);
    std::memcpy(out, label, labelLength);
    const std::size_t room = columns - labelLength;
    char text[32];
    int n = std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
    for (int unit = 1; static_cast<std::size_t>(n) > room && unit < 7; ++unit) {
        value /= 1000;
        n = std::snprintf(text, sizeof text, "%llu%c", static_cast<unsigned long long>(value),
                          units[unit]);
    }
    std::memcpy(out + labelLength, text, std::min(static_cast<std::size_t>(n), room));
}

// "breakpoints 3/8" over the addresses set, four to a row.
void putPoints(const char* name, const std::array<std::uint16_t, DebugStatus::maxPoints>& points,
               std::int32_t count, int line, char* out) {
    count = std::clamp<std::int32_t>(count, 0, DebugStatus::maxPoints);
    if (line == 0) {
        std::snprintf(out, DebugPanel::columns + 1, "%s %ld/%d", name, static_cast<long>(count),
                      DebugStatus::maxPoints);
        out[std::strlen(out)] = ' ';
        return;
    }
    const std::int32_t first = (line - 1) * DebugPanel::pointsPerRow;
    for (std::int32_t i = first; i < count && i < first + DebugPanel::pointsPerRow; ++i) {
        char address[5];
        std::snprintf(address, sizeof address, "%04X", points[static_cast<std::size_t>(i)]);
        std::memcpy(out + 5 * (i - first), address, 4);
    }
}

} // namespace

void DebugPanel::format(int row, char (&out)[columns + 1]) const {
    std::memset(out, ' ', columns);
    out[columns] = '\0';
    switch (row) {
    case 0: putCount("cycles ", cycles, out, columns); break;
    case 1: // how long the current run has taken, or the last one did
        putCount("run    +", cycles >= debug.runStart ? cycles - debug.runStart : 0, out, columns);
        break;
    case stopRow: {
        char text[32];
        int n = 0;
        if (debug.stop == DebugStatus::Stop::Break)
            n = std::snprintf(text, sizeof text, "BREAK %04X", debug.stopAddress);
        else if (debug.stop == DebugStatus::Stop::Watch && debug.stopRead)
            n = std::snprintf(text, sizeof text, "READ %04X =%02X", debug.stopAddress,
                              debug.before);
        else if (debug.stop == DebugStatus::Stop::Watch)
            n = std::snprintf(text, sizeof text, "WATCH %04X %02X>%02X", debug.stopAddress,
                              debug.before, debug.after);
        StatusLine::fit(text, static_cast<std::size_t>(n), out, columns);
        break;
    }
    case 3: { // the entry being typed, else a point that found its list full
        char text[20];
        if (entry[0] != '\0' || debug.full == DebugStatus::Stop::None) {
            std::snprintf(text, sizeof text, "%s", entry);
        } else {
            std::snprintf(text, sizeof text, "full: no %s %04X",
                          debug.full == DebugStatus::Stop::Break ? "break" : "watch",
                          debug.fullAddress);
        }
        StatusLine::fit(text, std::strlen(text), out, columns);
        break;
    }
    case 4: { // what became of interrupt requests that found I set
        char text[32];
        int n = 0;
        if (debug.irqHeld)
            n = std::snprintf(text, sizeof text, "IRQ held: I set");
        else if (debug.irqDropped != 0)
            n = std::snprintf(text, sizeof text, "IRQ dropped %lu: I",
                              static_cast<unsigned long>(debug.irqDropped));
        StatusLine::fit(text, static_cast<std::size_t>(n), out, columns);
        break;
    }
    case 5: StatusLine::fit(traceName.data(), traceName.size(), out, columns); break;
    case 6: StatusLine::fit(traceDetail.data(), traceDetail.size(), out, columns); break;
    case 8:
    case 9:
    case 10: putPoints("breakpoints", debug.breakpoints, debug.breakCount, row - 8, out); break;
    case 11:
    case 12:
    case 13: putPoints("watchpoints", debug.watchpoints, debug.watchCount, row - 11, out); break;
    default: break;
    }
}
