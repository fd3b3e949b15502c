#include "audio/SampleRing.h"

#include <gtest/gtest.h>

// Between threads: the recording holds every sample in order, and through a ring of 64 the
// trace's lines and noted drops add up to what ran (RecorderTest, TraceWriterTest).
TEST(SampleRing, KeepsOrderAcrossTheWrapAndCountsWhatDoesNotFit) {
    SampleRing ring(8);
    const float in[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    float out[16] = {};
    ring.push(in, 6);
    ASSERT_EQ(ring.pop(out, 5), 5u);
    ring.push(in + 6, 8); // 7 fit, wrapping; 13 is dropped
    EXPECT_EQ(ring.dropped(), 1u);
    ASSERT_EQ(ring.pop(out, 16), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], 5 + i);
}
