#include "audio/SampleRing.h"

#include <gtest/gtest.h>

#include <vector>

TEST(SampleRing, KeepsOrderAcrossTheWrapAndCountsWhatDoesNotFit) {
    SampleRing ring(8);
    const float in[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    float out[16] = {};
    ring.push(in, 6);
    ASSERT_EQ(ring.pop(out, 5), 5u);
    ring.push(in + 6, 8); // 7 fit, wrapping; 13 is dropped
    EXPECT_EQ(ring.dropped(), 1u);
    ASSERT_EQ(ring.pop(out, 16), 8u);
    EXPECT_EQ(std::vector<float>(out, out + 8), (std::vector<float>{5, 6, 7, 8, 9, 10, 11, 12}));
}
