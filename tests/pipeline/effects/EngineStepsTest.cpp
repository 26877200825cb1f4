// The engine's own steps on their own: the resampler that shifts pitch, the
// formant shifter that keeps voices in character and the limiter that keeps
// peaks under full scale, fed in odd blocks.
#include "SignalMeasures.h"
#include "pipeline/FormantShifter.h"
#include "pipeline/PeakLimiter.h"
#include "pipeline/StreamResampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace quorvel;
using namespace quorvel::test;

namespace {

constexpr double kRate = 44100.0;

// Pushes x in blocks of `block` frames, pulling as it goes, then finishes.
template <class Step>
std::vector<float> runStep(Step& step, const std::vector<float>& x, long block) {
    std::vector<float> out, chunk(4096);
    auto drain = [&] {
        while (long n = step.pull(chunk.data(), long(chunk.size()))) out.insert(out.end(), chunk.begin(), chunk.begin() + n);
    };
    for (size_t at = 0; at < x.size(); at += size_t(block)) {
        step.push(x.data() + at, long(std::min<size_t>(size_t(block), x.size() - at)));
        drain();
    }
    step.finish();
    drain();
    EXPECT_TRUE(step.drained());
    return out;
}

std::vector<float> sineWave(double hz, double seconds) {
    std::vector<float> x(size_t(seconds * kRate));
    for (size_t i = 0; i < x.size(); ++i) x[i] = 0.5f * float(std::sin(2 * std::numbers::pi * hz * double(i) / kRate));
    return x;
}

} // namespace

TEST(StreamResampler, ShiftsFrequencyKeepsPlaceAndLength) {
    for (double step : {2.0, 0.5, std::sqrt(2.0), 1 / std::sqrt(2.0)}) {
        StreamResampler r(step);
        auto x = sineWave(440, 1.0);
        auto out = runStep(r, x, 1000);
        EXPECT_EQ(out.size(), size_t(std::ceil(double(x.size()) / step))) << step;
        EXPECT_NEAR(zeroCrossingFrequency(out, out.size() / 4, out.size() * 3 / 4, kRate), 440 * step, 440 * step * 0.002);
        EXPECT_NEAR(rmsDb(out, out.size() / 4, out.size() * 3 / 4), rmsDb(x, x.size() / 4, x.size() * 3 / 4), 0.1);

        std::vector<float> click(44100, 0.0f);
        click[20000] = 1.0f;
        StreamResampler r2(step);
        auto moved = runStep(r2, click, 777);
        EXPECT_NEAR(double(clickPosition(moved)), 20000 / step, 1.0) << step;
    }
}

TEST(StreamResampler, RemovesWhatWouldAliasWhenReadingFaster) {
    // 15 kHz read twice as fast would fold down to 14.1 kHz; it must go.
    StreamResampler r(2.0);
    auto out = runStep(r, sineWave(15000, 0.5), 4096);
    EXPECT_LT(rmsDb(out, 1000, out.size() - 1000), rmsDb(sineWave(15000, 0.5), 0, 22050) - 60);
}

TEST(FormantShifter, FactorOneGivesTheInputBack) {
    auto x = vowel(150, 900, 0.5, kRate);
    FormantShifter f(1.0, kRate);
    auto out = runStep(f, x, 333);
    ASSERT_EQ(out.size(), x.size());
    double worst = 0;
    for (size_t i = 0; i < x.size(); ++i) worst = std::max(worst, double(std::fabs(out[i] - x[i])));
    EXPECT_LT(worst, 1e-4);
}

TEST(FormantShifter, MovesTheEnvelopeNotTheHarmonics) {
    auto x = vowel(200, 1000, 1.0, kRate);
    ASSERT_EQ(loudestHarmonic(x, 200, kRate), 1000);
    FormantShifter f(1.5, kRate);
    auto out = runStep(f, x, 4096);
    ASSERT_EQ(out.size(), x.size());
    for (float v : out) ASSERT_TRUE(std::isfinite(v));
    EXPECT_NEAR(loudestHarmonic(out, 200, kRate), 1500, 100) << "the formant moved up by half";
    // The harmonics stay on multiples of 200 Hz: off-harmonic energy stays low.
    EXPECT_LT(amplitudeAt(out, 1300, kRate), 0.05 * amplitudeAt(out, 1400, kRate));

    std::vector<float> silence(20000, 0.0f);
    FormantShifter quiet(0.5, kRate);
    for (float v : runStep(quiet, silence, 1024)) ASSERT_EQ(v, 0.0f);
}

TEST(FormantShifter, SteadyToneStaysCleanAndKeepsItsLevel) {
    // A held note must come out held: no sidebands from an envelope that
    // wavers from frame to frame, no energy boosted where there was none.
    auto x = harmonicTone(220, 5, 0.1f, 2.0, kRate);
    const double inDb = rmsDb(x, x.size() / 4, x.size() * 3 / 4);
    for (double factor : {2.0, std::sqrt(2.0), 1 / std::sqrt(2.0), 0.5}) {
        FormantShifter f(factor, kRate);
        auto out = runStep(f, x, 1500);
        ASSERT_EQ(out.size(), x.size());
        EXPECT_GT(harmonicToNoiseDb(out, 220, kRate), 45.0) << factor;
        EXPECT_NEAR(rmsDb(out, out.size() / 4, out.size() * 3 / 4), inDb, 0.5) << factor;
    }
}

TEST(FormantShifter, KeepsTheLevelOfNoise) {
    std::vector<float> noise(88200);
    uint32_t seed = 1;
    for (auto& v : noise) {
        seed = seed * 1664525u + 1013904223u;
        v = 0.3f * (float(seed >> 8) / float(1 << 24) - 0.5f);
    }
    for (double factor : {2.0, 0.5}) {
        FormantShifter f(factor, kRate);
        auto out = runStep(f, noise, 4096);
        EXPECT_NEAR(rmsDb(out, 11025, 77175), rmsDb(noise, 11025, 77175), 0.5) << factor;
    }
}

namespace {

std::vector<float> runLimiter(const std::vector<float>& x, float threshold, long block) {
    PeakLimiter limiter(1, kRate, threshold);
    std::vector<float> out, chunk(3000);
    float* outPtr = chunk.data();
    auto drain = [&] {
        while (long n = limiter.pull(&outPtr, long(chunk.size()))) out.insert(out.end(), chunk.begin(), chunk.begin() + n);
    };
    for (size_t at = 0; at < x.size(); at += size_t(block)) {
        float* in = const_cast<float*>(x.data()) + at;
        limiter.push(&in, long(std::min<size_t>(size_t(block), x.size() - at)));
        drain();
    }
    limiter.finish();
    drain();
    EXPECT_TRUE(limiter.drained());
    return out;
}

} // namespace

TEST(PeakLimiter, LeavesQuietSoundAloneAndHoldsPeaksUnderTheThreshold) {
    auto quiet = sineWave(440, 1.0);  // peaks at 0.5
    EXPECT_EQ(runLimiter(quiet, 0.9f, 777), quiet) << "below the threshold, sample for sample";

    // A 100 ms burst at 1.6 in the middle of a quiet tone.
    auto x = sineWave(440, 1.0);
    for (size_t i = 20000; i < 24410; ++i) x[i] *= 3.2f;
    auto out = runLimiter(x, 0.9f, 1000);
    ASSERT_EQ(out.size(), x.size()) << "as long as its input";
    float peak = 0;
    for (float v : out) peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, 0.9f);
    EXPECT_GT(peak, 0.85f) << "brought to the threshold, not far below";
    // In place: the burst's loudest part still lines up with the input's.
    EXPECT_NEAR(rmsDb(out, 21000, 23000) - rmsDb(x, 21000, 23000), 20 * std::log10(0.9 / 1.6), 0.5);
    // The gain falls only just before the burst and comes back after it.
    for (size_t i : {size_t(1000), size_t(19800)}) EXPECT_EQ(out[i], x[i]) << i;
    EXPECT_NEAR(rmsDb(out, 28000, 30000), rmsDb(x, 28000, 30000), 0.5) << "mostly back within 0.1 s";
    for (size_t i = 40000; i < out.size(); ++i) ASSERT_EQ(out[i], x[i]) << "fully back within 0.4 s: " << i;

    // Peaks in the very first and last frames are caught too.
    std::vector<float> edges(5000, 0.1f);
    edges[3] = 1.5f;
    edges[4998] = -1.2f;
    for (long block : {1L, 64L, 5000L}) {
        auto limited = runLimiter(edges, 0.9f, block);
        ASSERT_EQ(limited.size(), edges.size());
        EXPECT_LE(std::fabs(limited[3]), 0.9f) << block;
        EXPECT_LE(std::fabs(limited[4998]), 0.9f) << block;
    }
}
