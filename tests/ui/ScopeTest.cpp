#include "ui/Scope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

// Steady tones fed from different phases, a buffer at a time, give one trace (it stands still)
// that starts on the rise; a full-scale square spans the box; silence is flat.
TEST(Scope, SteadyTonesStandStillAndSilenceIsFlat) {
    const struct {
        float (*wave)(int, int);
        int period, span; // span: rows from the highest point to the lowest
    } cases[] = {
        {[](int i, int p) { return i % p < p / 2 ? Scope::highest : Scope::lowest; }, 96, 39},
        {[](int i, int p) { return i % p < p / 2 ? Scope::highest : Scope::lowest; }, 400, 39},
        {[](int i, int p) { return 0.06f * std::sin(6.2831853f * i / p); }, 37, 19},
        {[](int, int) { return 0.0f; }, 96, 0},
    };
    for (const auto& c : cases) {
        std::array<int, Scope::traceLength> first{};
        for (int phase : {0, 1, c.period / 3, c.period - 1}) {
            Scope scope;
            float buffer[1024];
            for (int at = 0; at < 5120; at += 1024) {
                for (int i = 0; i < 1024; ++i)
                    buffer[i] = c.wave(at + i + phase, c.period);
                scope.feed(buffer, 1024);
            }
            if (phase == 0) first = scope.trace();
            EXPECT_EQ(scope.trace(), first) << c.period << " from phase " << phase;
        }
        const auto [top, bottom] = std::minmax_element(first.begin(), first.end());
        EXPECT_EQ(*bottom - *top, c.span) << c.period;
        EXPECT_NEAR(first[c.period / 4], *top, 1) << c.period; // a quarter period after the rise
    }
}
