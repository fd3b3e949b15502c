#include "audio/OfflineRenderer.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double rate = AudioEngine::sampleRate;
// The pitch of the square routine's delay count p at 912,000 cycles a second (speed 19).
double pitch(int p) {
    return 912000.0 / (36 + 12 * p);
}

// Over [from, to) seconds: a tone's frequency from its upward zero crossings, or a noise's RMS
// level; and the largest normalised autocorrelation over lags 8..maxLag (near 0 for noise).
std::pair<double, double> measure(bool noise, const std::vector<float>& x, double from, double to,
                                  std::size_t maxLag = 0) {
    const std::size_t a = std::max<std::size_t>(from * rate, 1),
                      b = std::min(x.size(), std::size_t(to * rate));
    std::vector<std::size_t> ups;
    double energy = 0, periodic = 0;
    for (std::size_t i = a; i < b; ++i) {
        energy += double{x[i]} * x[i];
        if (x[i - 1] <= 0.0f && x[i] > 0.0f) ups.push_back(i);
    }
    for (std::size_t lag = 8; lag <= maxLag; ++lag) {
        double sum = 0;
        for (std::size_t i = a; i + lag < b; ++i)
            sum += double{x[i]} * x[i + lag];
        periodic = std::max(periodic, std::abs(sum) / energy);
    }
    if (noise) return {std::sqrt(energy / (b - a)), periodic};
    return {ups.size() < 2 ? 0.0 : (ups.size() - 1) * rate / (ups.back() - ups.front()), 0};
}

enum class Kind { Tone, Noise, Silent };
struct Part {
    double ms, from, to; // Hz, or for noise the RMS level, at the start and at the end
};
struct Sound {
    std::string rom;
    int command, speed;
    Kind kind;
    std::vector<Part> parts;
    std::uint8_t low = 0x40, high = 0xC0; // the DAC's range during the sound
};
// A note table: delay count, milliseconds, delay count, milliseconds, ...
std::vector<Part> notes(std::vector<int> table) {
    std::vector<Part> parts;
    for (std::size_t i = 0; i + 1 < table.size(); i += 2)
        parts.push_back({double(table[i + 1]), pitch(table[i]), pitch(table[i])});
    return parts;
}
constexpr int C5 = 142, E5 = 112, F5 = 106, G5 = 94, A5 = 83, C6 = 70, E6 = 55, G6 = 45;

} // namespace

// Every sound of the demo ROM (after an interrupt with its command; -1: from reset) and the
// tone ROM, held against its source: pitches, sweeps, noise, lengths, levels and the rest after.
TEST(DemoSound, EverySoundAsItsSourcePromises) {
    const Part siren{476000 / 912.0, pitch(160), pitch(21)},
        zap{53648 / 912.0, pitch(8), pitch(63)};
    const auto chime = notes({G5, 70, C6, 70, E6, 70, G6, 200});
    const double tri = 912000 / 1646.0;
    const Sound sounds[] = {
        {"demo", 1, 19, Kind::Tone, {{500, 1000, 1000}}},
        {"demo", 1, 38, Kind::Tone, {{250, 2000, 2000}}}, // the speed scales pitch and time
        {"demo", 2, 19, Kind::Tone, {siren, siren}},
        {"demo", 3, 19, Kind::Noise, {{300, 0.064, 0.064}}},
        {"demo", 4, 19, Kind::Noise, {{120 * (128 * 79 + 16) / 912.0, 0.120, 0.001}}, 0x07, 0xF7},
        {"demo", 5, 19, Kind::Tone, {zap, zap, zap, zap}},
        {"demo", 6, 19, Kind::Tone,
         notes({C5, 150, E5, 150, G5, 150, E5, 150, F5, 150, A5, 150, G5, 150, C6, 300})},
        {"demo", 7, 19, Kind::Tone, {{500, 237.5, 237.5}}, 0x00, 0xFF},
        {"demo", 8, 19, Kind::Tone, {{500, tri, tri}}, 0x00, 0xFC},
        {"demo", 9, 19, Kind::Tone,
         notes({G5, 125, E5, 125, G5, 125, E5, 125, G5, 125, E5, 125, G5, 125, E5, 125})},
        {"demo", 10, 19, Kind::Tone, chime},
        {"demo", -1, 19, Kind::Tone, chime},
        {"tone", -1, 19, Kind::Tone, {{5000, 500, 500}}},
        {"demo", 0, 19, Kind::Silent, {}},
        {"demo", 11, 19, Kind::Silent, {}},
        {"demo", 0xFF, 19, Kind::Silent, {}},
    };
    for (const Sound& s : sounds) {
        SCOPED_TRACE(testing::Message() << s.rom << " " << s.command << " speed " << s.speed);
        OfflineRenderer renderer;
        renderer.loadImage(readRomImage(s.rom).data());
        RenderJob job;
        job.speed = s.speed;
        job.command = s.command;
        if (s.command >= 0) {
            job.interruptTimes = {0.0};
            job.fromFirstInterrupt = true;
            job.stopWhenSteady = 1.0;
        }
        const RenderResult r = renderer.render(job);
        const std::vector<float>& x = r.samples;
        EXPECT_EQ(r.changed, s.kind != Kind::Silent);
        if (s.kind == Kind::Silent) continue;
        const std::size_t end = r.lastChange + 1;
        double start = 0;
        for (const Part& p : s.parts) {
            const double length = p.ms / 1000, margin = p.from == p.to ? 0.015 : 0;
            const bool noise = s.kind == Kind::Noise;
            const auto [value, periodic] =
                measure(noise, x, start + margin, start + length - margin, noise ? 2400 : 0);
            if (noise) {
                EXPECT_LT(periodic, 0.1) << "at " << start;
            }
            const auto part = [&](double a, double b) {
                return measure(noise, x, start + a * length, start + b * length).first;
            };
            if (p.from == p.to) {
                EXPECT_NEAR(value, p.from, p.from * 0.01) << "at " << start;
            } else { // a sweep: its quarters go one way, and the slow end is as written (5%)
                double previous = p.from;
                for (double q : {0.0, 0.25, 0.5, 0.75, 1.0}) {
                    const double now = q < 1 ? part(q, q + 0.25) : p.to;
                    EXPECT_GT((now - previous) * (p.to - p.from), 0) << "quarter " << q;
                    previous = now;
                }
                const double first = part(0, 0.05) / p.from, last = part(0.95, 1) / p.to;
                EXPECT_LT(std::min(std::abs(first - 1), std::abs(last - 1)), 0.05) << start;
            }
            start += length;
        }
        EXPECT_NEAR(end / rate, start, start * 0.02);
        const auto [low, high] = std::minmax_element(x.begin() + 10, x.begin() + end);
        EXPECT_EQ(*low, AudioEngine::sampleFor(s.low));
        EXPECT_EQ(*high, AudioEngine::sampleFor(s.high));
        if (s.rom == "tone") continue; // it never stops
        EXPECT_GE(x.size() - end, rate) << "a second of rest kept";
        EXPECT_EQ(std::count(x.begin() + end, x.end(), 0.0f), x.size() - end);
    }
}
