#include "audio/SampleRing.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>
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
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], 5 + i);
}

// What arrives comes in order, and with what was dropped adds up to what was pushed.
TEST(SampleRing, OneProducerOneConsumer) {
    SampleRing ring(64);
    constexpr int total = 200000;
    std::vector<float> all(total);
    std::iota(all.begin(), all.end(), 0.0f);
    std::thread producer([&] {
        for (int next = 0; next < total; next += 37)
            ring.push(&all[next], static_cast<std::size_t>(std::min(37, total - next)));
    });
    std::uint64_t received = 0;
    float last = -1, out[50];
    for (bool done = false; !done;) {
        done = ring.dropped() + received == total;
        for (std::size_t n = ring.pop(out, 50), i = 0; i < n; ++i, ++received) {
            ASSERT_GT(out[i], last);
            last = out[i];
        }
    }
    producer.join();
    EXPECT_EQ(received + ring.dropped(), std::uint64_t{total});
}
