#include "ui/DebuggerScreen.h"

#include <gtest/gtest.h>

namespace {

// With no display reachable SDL falls back to drivers that draw into memory; the program
// must then stop rather than run with a window nobody sees, unless that driver was asked for.
TEST(NoDisplay, InvisibleDriversCountOnlyWhenNotAskedFor) {
    struct Case {
        const char* driver;
        const char* requested;
        bool refused;
    };
    const Case cases[] = {
        {"x11", nullptr, false},
        {"KMSDRM", "", false},
        {"offscreen", nullptr, true},
        {"dummy", nullptr, true},
        {"offscreen", "", true},
        {"offscreen", "x11", true},
        {"offscreen", "offscreen", false},
        {"offscreen", "OFFSCREEN", false},
        {"dummy", "x11,dummy", false},
        {"offscreen", "x11,wayland", true},
        {"offscreen", "offscreenx", true},
        {"dummy", "dum", true},
        {nullptr, nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DebuggerScreen::showsNothingUnasked(c.driver, c.requested), c.refused)
            << (c.driver ? c.driver : "(none)") << " asked "
            << (c.requested ? c.requested : "(unset)");
}

} // namespace
