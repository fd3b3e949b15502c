#include "audio/OfflineRenderer.h"
#include "tests/support/RomImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// Every sound of demo.snd rendered through the offline renderer and held against what the
// source promises: pitch from zero crossings, sweeps, noise, lengths and the rest after.

namespace {

constexpr double rate = AudioEngine::sampleRate;
constexpr double cyclesPerSecond = 912000.0; // 19 cycles per sample

std::size_t at(double seconds) {
    return static_cast<std::size_t>(seconds * rate);
}

struct Sound {
    std::vector<float> samples;
    RenderResult result;
    double length() const { return static_cast<double>(result.lastChange + 1) / rate; }
};

Sound play(const char* rom, int command, double speed = AudioEngine::defaultSpeed) {
    const std::vector<std::uint8_t> image = readRomImage(rom);
    EXPECT_EQ(image.size(), Mc6802::romSize);
    OfflineRenderer renderer;
    renderer.loadImage(image.data());
    RenderJob job;
    job.seconds = 5.0;
    job.speed = static_cast<std::int32_t>(speed);
    if (command >= 0) {
        job.command = command;
        job.interruptTimes = {0.0};
        job.fromFirstInterrupt = true;
        job.stopWhenSteady = 1.0;
    }
    Sound s;
    s.result = renderer.render(job);
    s.samples = s.result.samples;
    return s;
}

// Frequency from the upward zero crossings between two times.
double frequency(const std::vector<float>& x, double from, double to) {
    std::vector<std::size_t> ups;
    for (std::size_t i = std::max<std::size_t>(at(from), 1); i < std::min(at(to), x.size()); ++i)
        if (x[i - 1] <= 0.0f && x[i] > 0.0f) ups.push_back(i);
    if (ups.size() < 2) return 0.0;
    return static_cast<double>(ups.size() - 1) * rate /
           static_cast<double>(ups.back() - ups.front());
}

double rms(const std::vector<float>& x, double from, double to) {
    double sum = 0;
    const std::size_t a = at(from), b = std::min(at(to), x.size());
    for (std::size_t i = a; i < b; ++i)
        sum += double{x[i]} * x[i];
    return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
}

// Largest normalised autocorrelation over a range of lags, within [from, to).
double worstCorrelation(const std::vector<float>& x, double from, double to, std::size_t lagFirst,
                        std::size_t lagLast) {
    const std::size_t a = at(from), b = std::min(at(to), x.size());
    double mean = 0;
    for (std::size_t i = a; i < b; ++i)
        mean += x[i];
    mean /= static_cast<double>(b - a);
    double energy = 0;
    for (std::size_t i = a; i < b; ++i)
        energy += (x[i] - mean) * (x[i] - mean);
    double worst = 0;
    for (std::size_t lag = lagFirst; lag <= lagLast; ++lag) {
        double sum = 0;
        for (std::size_t i = a; i + lag < b; ++i)
            sum += (x[i] - mean) * (x[i + lag] - mean);
        worst = std::max(worst, std::abs(sum) / energy);
    }
    return worst;
}

// After the sound the DAC rests at 0x7F, which is 0.0 output.
void expectRestAfter(const Sound& s) {
    ASSERT_LT(s.result.lastChange + 1, s.samples.size());
    for (std::size_t i = s.result.lastChange + 1; i < s.samples.size(); ++i)
        ASSERT_EQ(s.samples[i], 0.0f) << "sample " << i;
    EXPECT_GE(static_cast<double>(s.samples.size() - s.result.lastChange) / rate, 0.99)
        << "steady second kept";
}

// Note tables of the source: pitch of delay count P is 912000 / (36 + 12 P) Hz.
double pitch(int p) {
    return cyclesPerSecond / (36.0 + 12.0 * p);
}

void expectNotes(const Sound& s, const std::vector<std::pair<int, double>>& notes) {
    double start = 0;
    for (std::size_t n = 0; n < notes.size(); ++n) {
        const double ms = notes[n].second / 1000.0;
        SCOPED_TRACE(testing::Message() << "note " << n);
        EXPECT_NEAR(frequency(s.samples, start + 0.015, start + ms - 0.015), pitch(notes[n].first),
                    pitch(notes[n].first) * 0.01);
        start += ms;
    }
    EXPECT_NEAR(s.length(), start, start * 0.02);
}

constexpr int C5 = 142, E5 = 112, F5 = 106, G5 = 94, A5 = 83, C6 = 70, E6 = 55, G6 = 45;

} // namespace

TEST(DemoSound, ToneIsOneKilohertzForHalfASecond) {
    const Sound s = play("demo", 1);
    EXPECT_NEAR(frequency(s.samples, 0.0, s.length()), 1000.0, 10.0);
    EXPECT_NEAR(s.length(), 0.5, 0.01);
    // A tone is periodic: a period apart the wave repeats.
    EXPECT_GT(worstCorrelation(s.samples, 0.05, 0.45, 48, 48), 0.9);
    expectRestAfter(s);
}

TEST(DemoSound, SpeedScalesThePitch) {
    const Sound s = play("demo", 1, 2 * AudioEngine::defaultSpeed);
    // Twice the cycles per sample: the program runs twice as fast against the sample clock.
    EXPECT_NEAR(frequency(s.samples, 0.0, s.length()), 2000.0, 20.0);
    EXPECT_NEAR(s.length(), 0.25, 0.005);
}

TEST(DemoSound, SirenRisesTwice) {
    const Sound s = play("demo", 2);
    const double sweep = 476000 / cyclesPerSecond;
    EXPECT_NEAR(s.length(), 2 * sweep, 2 * sweep * 0.02);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(testing::Message() << "sweep " << k);
        const double start = k * sweep;
        double previous = 0;
        for (double t = start; t + 0.05 <= start + sweep; t += 0.05) {
            const double f = frequency(s.samples, t, t + 0.05);
            EXPECT_GT(f, previous) << "at " << t << " s";
            previous = f;
        }
        EXPECT_NEAR(frequency(s.samples, start, start + 0.02), pitch(159), pitch(159) * 0.05);
        EXPECT_GT(frequency(s.samples, start + sweep - 0.01, start + sweep), 2500.0);
    }
    expectRestAfter(s);
}

TEST(DemoSound, NoiseBurstHasNoPeriod) {
    const Sound s = play("demo", 3);
    EXPECT_NEAR(s.length(), 0.3, 0.3 * 0.02);
    EXPECT_LT(worstCorrelation(s.samples, 0.0, 0.29, 8, 2400), 0.1);
    // Two levels, about equally often.
    std::size_t high = 0;
    for (std::size_t i = 0; i < at(0.29); ++i)
        high += s.samples[i] > 0.0f;
    EXPECT_NEAR(static_cast<double>(high) / static_cast<double>(at(0.29)), 0.5, 0.05);
    expectRestAfter(s);
}

TEST(DemoSound, ExplosionIsNoiseThatDiesAway) {
    const Sound s = play("demo", 4);
    const double length = 120 * (128 * 79 + 16) / cyclesPerSecond;
    EXPECT_NEAR(s.length(), length, length * 0.02);
    EXPECT_LT(worstCorrelation(s.samples, 0.0, 0.3, 8, 2400), 0.1);
    double previous = 1.0;
    for (int q = 0; q < 4; ++q) {
        const double loud = rms(s.samples, q * length / 4, (q + 1) * length / 4);
        EXPECT_LT(loud, previous) << "quarter " << q;
        previous = loud;
    }
    EXPECT_GT(rms(s.samples, 0.0, 0.1), 0.1);
    EXPECT_LT(rms(s.samples, length - 0.1, length), 0.015);
    expectRestAfter(s);
}

TEST(DemoSound, LaserFallsFourTimes) {
    const Sound s = play("demo", 5);
    const double zap = 53648 / cyclesPerSecond;
    EXPECT_NEAR(s.length(), 4 * zap, 4 * zap * 0.02);
    for (int k = 0; k < 4; ++k) {
        const double start = k * zap;
        const double early = frequency(s.samples, start + 0.001, start + 0.005);
        const double late = frequency(s.samples, start + zap - 0.015, start + zap - 0.001);
        EXPECT_GT(early, 3500.0) << "zap " << k;
        EXPECT_LT(late, 1500.0) << "zap " << k;
    }
    expectRestAfter(s);
}

TEST(DemoSound, MelodyPlaysItsNoteTable) {
    const Sound s = play("demo", 6);
    expectNotes(
        s,
        {{C5, 150}, {E5, 150}, {G5, 150}, {E5, 150}, {F5, 150}, {A5, 150}, {G5, 150}, {C6, 300}});
    expectRestAfter(s);
}

TEST(DemoSound, SawtoothRampsAt237Hertz) {
    const Sound s = play("demo", 7);
    EXPECT_NEAR(frequency(s.samples, 0.0, s.length()), 237.5, 2.375);
    EXPECT_NEAR(s.length(), 0.5, 0.01);
    // A rising ramp: almost every step goes up.
    std::size_t up = 0, down = 0;
    for (std::size_t i = 1; i < at(0.49); ++i) {
        up += s.samples[i] > s.samples[i - 1];
        down += s.samples[i] < s.samples[i - 1];
    }
    EXPECT_GT(up, 40 * down);
    expectRestAfter(s);
}

TEST(DemoSound, TriangleAt554Hertz) {
    const Sound s = play("demo", 8);
    EXPECT_NEAR(frequency(s.samples, 0.0, s.length()), cyclesPerSecond / 1646,
                cyclesPerSecond / 1646 * 0.01);
    EXPECT_NEAR(s.length(), 0.5, 0.01);
    const auto [low, high] = std::minmax_element(s.samples.begin(), s.samples.begin() + at(0.49));
    EXPECT_NEAR(*low, AudioEngine::sampleFor(0x00), 0.005);
    EXPECT_NEAR(*high, AudioEngine::sampleFor(0xFC), 0.005);
    expectRestAfter(s);
}

TEST(DemoSound, AlarmAlternatesTwoTones) {
    const Sound s = play("demo", 9);
    std::vector<std::pair<int, double>> notes;
    for (int i = 0; i < 8; ++i)
        notes.emplace_back(i % 2 ? E5 : G5, 125);
    expectNotes(s, notes);
    expectRestAfter(s);
}

TEST(DemoSound, ChimeOnCommandAndAtStartUp) {
    const std::vector<std::pair<int, double>> chime = {{G5, 70}, {C6, 70}, {E6, 70}, {G6, 200}};
    const Sound again = play("demo", 10);
    expectNotes(again, chime);
    expectRestAfter(again);

    // At reset, before interrupts open: the same notes from the first sample.
    const Sound boot = play("demo", -1);
    double start = 0;
    for (const auto& [p, ms] : chime) {
        EXPECT_NEAR(frequency(boot.samples, start + 0.015, start + ms / 1000 - 0.015), pitch(p),
                    pitch(p) * 0.01);
        start += ms / 1000;
    }
}

TEST(DemoSound, OtherCommandsAreSilent) {
    for (int command : {0, 11, 0x80, 0xFF}) {
        const Sound s = play("demo", command);
        EXPECT_FALSE(s.result.changed) << "command " << command;
        EXPECT_EQ(s.result.interruptSamples.size(), 1u);
    }
}

// A request made during the chime waits for the program to unmask interrupts.
TEST(DemoSound, InterruptWaitsForTheChimeToEnd) {
    const std::vector<std::uint8_t> image = readRomImage("demo");
    OfflineRenderer renderer;
    renderer.loadImage(image.data());
    RenderJob job;
    job.seconds = 1.5;
    job.command = 1;
    job.interruptTimes = {0.0};
    const RenderResult r = renderer.render(job);
    ASSERT_EQ(r.interruptSamples.size(), 1u);
    EXPECT_EQ(r.interruptsMissed, 0u);
    const double chimeEnd = 0.41;
    EXPECT_GE(static_cast<double>(r.interruptSamples[0]) / rate, chimeEnd - 0.01);
    EXPECT_LE(static_cast<double>(r.interruptSamples[0]) / rate,
              chimeEnd + 0.03); // within one buffer
    EXPECT_EQ(r.interruptSamples[0] % OfflineRenderer::frames, 0u);
    EXPECT_NEAR(frequency(r.samples, chimeEnd + 0.05, chimeEnd + 0.45), 1000.0, 10.0);
}

TEST(DemoSound, ToneRomIsFiveHundredHertz) {
    const Sound s = play("tone", -1);
    EXPECT_EQ(s.samples.size(), at(5.0));
    EXPECT_NEAR(frequency(s.samples, 0.0, 5.0), 500.0, 0.5);
    const auto [low, high] = std::minmax_element(s.samples.begin() + 10, s.samples.end());
    EXPECT_EQ(*low, AudioEngine::sampleFor(0x40));
    EXPECT_EQ(*high, AudioEngine::sampleFor(0xC0));
}

// With the program's interrupts never opened, a request is reported as missed.
TEST(DemoSound, MaskedProgramMissesItsInterrupts) {
    std::vector<std::uint8_t> image(Mc6802::romSize, 0x01); // nop everywhere
    image[0] = 0x20;                                        // bra *
    image[1] = 0xFE;
    image[2046] = 0xF8;
    image[2047] = 0x00;
    OfflineRenderer renderer;
    renderer.loadImage(image.data());
    RenderJob job;
    job.seconds = 0.5;
    job.command = 1;
    job.interruptTimes = {0.1, 0.2};
    const RenderResult r = renderer.render(job);
    EXPECT_EQ(r.interruptsMissed, 2u);
    EXPECT_EQ(r.samples.size(), at(0.5));
    job.fromFirstInterrupt = true;
    job.bootLimit = 1.0;
    EXPECT_TRUE(renderer.render(job).samples.empty());
}
