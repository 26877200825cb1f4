#include "platform/media/LoudnessNormalizer.h"

#include "platform/media/LoudnessMeter.h"
#include "platform/media/SegmentDecoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

namespace quorvel {

namespace {

constexpr int kPhases = 4;
constexpr int kTapsPerPhase = 12;
constexpr int kTaps = kPhases * kTapsPerPhase;
// Look-ahead (and attack) of the limiter, and its release time constant.
constexpr double kLookAheadSeconds = 0.005;
constexpr double kReleaseSeconds = 0.08;
// The gain curve keeps one point every this many samples.
constexpr int kCurveStep = 32;
constexpr int kIterations = 6;
constexpr double kTolerance = 0.05;

double fromDecibels(double db) { return std::pow(10.0, db / 20.0); }

// The 4x interpolation filter: a Blackman-windowed sinc cut at the input's
// Nyquist frequency, split into its four phases.
std::array<std::array<float, kTapsPerPhase>, kPhases> interpolationPhases() {
    std::array<std::array<float, kTapsPerPhase>, kPhases> phases{};
    const double centre = (kTaps - 1) / 2.0;
    for (int n = 0; n < kTaps; ++n) {
        const double x = (n - centre) / kPhases;
        const double sinc = x == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
        const double w = 0.42 - 0.5 * std::cos(2 * M_PI * n / (kTaps - 1)) + 0.08 * std::cos(4 * M_PI * n / (kTaps - 1));
        phases[size_t(n % kPhases)][size_t(n / kPhases)] = float(sinc * w);
    }
    return phases;
}

// The highest interpolated magnitude around each sample (all channels).
std::vector<float> truePeaks(const std::vector<float>& samples, int channels) {
    const size_t frames = samples.size() / size_t(channels);
    std::vector<float> peaks(frames, 0.0f);
    static const auto phases = interpolationPhases();
    // The filter delays by half its length in input samples.
    const ptrdiff_t delay = kTapsPerPhase / 2;
    for (int c = 0; c < channels; ++c) {
        for (size_t m = 0; m < frames + size_t(delay); ++m) {
            float peak = 0.0f;
            for (const auto& h : phases) {
                float y = 0.0f;
                for (int k = 0; k < kTapsPerPhase; ++k) {
                    const ptrdiff_t at = ptrdiff_t(m) - k;
                    if (at >= 0 && size_t(at) < frames) y += h[size_t(k)] * samples[size_t(at) * size_t(channels) + size_t(c)];
                }
                peak = std::max(peak, std::fabs(y));
            }
            const ptrdiff_t i = ptrdiff_t(m) - delay;
            if (i >= 0 && size_t(i) < frames) {
                peaks[size_t(i)] = std::max({peaks[size_t(i)], peak, std::fabs(samples[size_t(i) * size_t(channels) + size_t(c)])});
            }
        }
    }
    return peaks;
}

// The limiter's gain per sample for a level `level`: never above what keeps
// each sample's true peak at `ceiling`, reached smoothly over the look-ahead.
// Empty when no sample needs limiting.
std::vector<float> limiterEnvelope(const std::vector<float>& peaks, double level, double ceiling, int sampleRate) {
    const size_t n = peaks.size();
    std::vector<float> needed(n);
    bool limits = false;
    for (size_t i = 0; i < n; ++i) {
        const double p = double(peaks[i]) * level;
        needed[i] = p > ceiling ? float(ceiling / p) : 1.0f;
        limits = limits || p > ceiling;
    }
    if (!limits) return {};
    const ptrdiff_t h = std::max<ptrdiff_t>(1, ptrdiff_t(std::lround(kLookAheadSeconds * sampleRate)));
    // Sliding minimum over [i - h, i + h].
    std::vector<float> lowest(n);
    std::deque<size_t> window;
    size_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        while (next < n && next <= i + size_t(h)) {
            while (!window.empty() && needed[window.back()] >= needed[next]) window.pop_back();
            window.push_back(next++);
        }
        while (window.front() + size_t(h) < i) window.pop_front();
        lowest[i] = needed[window.front()];
    }
    // Release: back towards 1 no faster than the release time.
    const float release = float(1.0 - std::exp(-1.0 / (kReleaseSeconds * sampleRate)));
    for (size_t i = 1; i < n; ++i) lowest[i] = std::min(lowest[i], lowest[i - 1] + (1.0f - lowest[i - 1]) * release);
    // Moving average over [i - h, i + h]: each value in it is at most the
    // gain sample i needs, so the average is too.
    std::vector<double> sums(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i) sums[i + 1] = sums[i] + lowest[i];
    std::vector<float> envelope(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t from = i > size_t(h) ? i - size_t(h) : 0;
        const size_t to = std::min(n, i + size_t(h) + 1);
        envelope[i] = float((sums[to] - sums[from]) / double(to - from));
    }
    return envelope;
}

// Points every kCurveStep samples, each the lowest gain of its block and
// both neighbours, so that the line between two points never exceeds the
// envelope inside the block between them.
std::shared_ptr<LoudnessGain> gainCurve(const std::vector<float>& envelope, double level, int sampleRate,
                                        double startSeconds) {
    if (envelope.empty()) return std::make_shared<LoudnessGain>(float(level));
    const size_t blocks = (envelope.size() + kCurveStep - 1) / kCurveStep;
    std::vector<float> blockMin(blocks, 1.0f);
    for (size_t i = 0; i < envelope.size(); ++i) blockMin[i / kCurveStep] = std::min(blockMin[i / kCurveStep], envelope[i]);
    std::vector<float> points(blocks + 1);
    for (size_t k = 0; k <= blocks; ++k) {
        float g = 1.0f;
        for (size_t b = k > 0 ? k - 1 : 0; b <= k + 1 && b < blocks; ++b) g = std::min(g, blockMin[b]);
        points[k] = float(level) * g;
    }
    auto curve = std::make_shared<LoudnessGain>(startSeconds, sampleRate, kCurveStep, std::move(points));
    curve->setLevel(float(level));
    return curve;
}

struct Measure {
    double lufs;
    double peakDb;
};

Measure measure(const std::vector<float>& samples, int channels, int sampleRate, const LoudnessGain* gain,
                double startSeconds) {
    LoudnessMeter meter(channels, sampleRate);
    const size_t frames = samples.size() / size_t(channels);
    if (!gain) {
        meter.add(samples.data(), frames);
    } else {
        std::vector<float> block;
        constexpr size_t kBlock = 8192;
        for (size_t at = 0; at < frames; at += kBlock) {
            const size_t count = std::min(kBlock, frames - at);
            block.assign(samples.begin() + ptrdiff_t(at * size_t(channels)),
                         samples.begin() + ptrdiff_t((at + count) * size_t(channels)));
            for (size_t i = 0; i < count; ++i) {
                const float g = gain->gainAt(startSeconds + double(at + i) / sampleRate);
                for (int c = 0; c < channels; ++c) block[i * size_t(channels) + size_t(c)] *= g;
            }
            meter.add(block.data(), count);
        }
    }
    return {meter.integratedLoudness(), LoudnessMeter::toDecibels(meter.truePeak())};
}

} // namespace

LoudnessNormalizer::Result LoudnessNormalizer::normalize(const std::vector<float>& samples, int channels,
                                                         int sampleRate, double startSeconds) {
    Result result;
    const Measure input = measure(samples, channels, sampleRate, nullptr, startSeconds);
    result.inputLufs = input.lufs;
    result.outputLufs = input.lufs;
    result.outputTruePeakDb = input.peakDb;
    if (!std::isfinite(input.lufs)) return result;

    const std::vector<float> peaks = truePeaks(samples, channels);
    const double ceiling = fromDecibels(kLimiterCeilingDb);
    double levelDb = std::min(kMaxGainDb, kTargetLufs - input.lufs);
    std::shared_ptr<LoudnessGain> gain;
    Measure output{};
    for (int i = 0; i < kIterations; ++i) {
        const double level = fromDecibels(levelDb);
        gain = gainCurve(limiterEnvelope(peaks, level, ceiling, sampleRate), level, sampleRate, startSeconds);
        output = measure(samples, channels, sampleRate, gain.get(), startSeconds);
        const double missing = kTargetLufs - output.lufs;
        if (!std::isfinite(missing) || std::fabs(missing) < kTolerance || levelDb >= kMaxGainDb) break;
        levelDb = std::min(kMaxGainDb, levelDb + missing);
    }
    result.gain = gain;
    result.outputLufs = output.lufs;
    result.outputTruePeakDb = output.peakDb;
    return result;
}

bool LoudnessNormalizer::analyse(const AssetExportJob& job, Result* result, NSError* error) {
    SegmentDecoder source(job);
    if (!source.open(error)) return false;
    std::vector<float> samples;
    std::vector<float> block;
    while (true) {
        if (job.isCancelled()) {
            *error = AssetExportJob::formatError(QStringLiteral("The loudness measurement was cancelled"));
            return false;
        }
        const SegmentDecoder::Read read = source.next(block, error);
        if (read == SegmentDecoder::Read::Failed) return false;
        if (read == SegmentDecoder::Read::End) break;
        samples.insert(samples.end(), block.begin(), block.end());
    }
    *result = normalize(samples, source.channels(), SegmentDecoder::kOutputRate, job.startSeconds());
    return true;
}

} // namespace quorvel
