#include "ui/DebugPanel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <tuple>

// Every row keeps to its 19 columns: counts too long shrink to thousands, millions ...; a run
// counted from after a reset shows +0; the stop, the entry (or else a point refused as its list
// was full), the trace and up to 8 points.
TEST(DebugPanel, RowsShowTheClockTheStopTheEntryAndThePoints) {
    DebugPanel idle, busy;
    busy.cycles = UINT64_MAX;
    busy.debug.runStart = UINT64_MAX - 1'000'000'000'000;
    busy.debug.breakpoints = {0xF845, 0x0000, 0xFFFF, 0xF800, 0xF801, 0xF802, 0xF803, 0xABCD};
    busy.debug.breakCount = 8;
    busy.debug.watchpoints[0] = 0x0400;
    busy.debug.watchCount = 1;
    std::tie(busy.debug.stop, busy.debug.stopAddress, busy.debug.before, busy.debug.after) =
        std::tuple(DebugStatus::Stop::Watch, 0x0400, 0x3F, 0x40);
    std::strcpy(busy.entry, "break at F8__");
    busy.traceName = "trace hummbox-trace-001.txt";
    busy.traceDetail = "1234 lines";
    DebugPanel broke = idle, reset = idle;
    std::tie(broke.debug.stop, broke.debug.stopAddress) =
        std::tuple(DebugStatus::Stop::Break, 0xF845);
    std::tie(reset.cycles, reset.debug.runStart) = std::tuple(5, 900);
    std::tie(broke.debug.full, broke.debug.fullAddress) =
        std::tuple(DebugStatus::Stop::Watch, 0x10);
    std::tie(busy.debug.full, busy.debug.fullAddress) = std::tuple(DebugStatus::Stop::Break, 0xF9);
    const std::tuple<const DebugPanel&, int, const char*> cases[] = {
        {idle, 2, "                   "},  {idle, 3, "                   "},
        {idle, 8, "breakpoints 0/8    "},  {busy, 0, "cycles 18446744073G"},
        {busy, 1, "run    +1000000000k"},  {busy, 2, "WATCH 0400 3F>40   "},
        {busy, 3, "break at F8__      "},  {busy, 5, "trace hummb...1.txt"},
        {busy, 6, "1234 lines         "},  {busy, 9, "F845 0000 FFFF F800"},
        {busy, 10, "F801 F802 F803 ABCD"}, {busy, 11, "watchpoints 1/8    "},
        {busy, 12, "0400               "}, {busy, 13, "                   "},
        {broke, 2, "BREAK F845         "}, {reset, 1, "run    +0          "},
        {broke, 3, "full: no watch 0010"}};
    for (auto [panel, row, expected] : cases) {
        char out[DebugPanel::columns + 1];
        panel.format(row, out);
        EXPECT_STREQ(out, expected) << "row " << row;
    }
}
