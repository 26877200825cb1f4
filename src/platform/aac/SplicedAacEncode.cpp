#include "platform/aac/SplicedAacEncode.h"

#include "platform/core/VectorState.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <thread>

namespace quorvel {

namespace {
constexpr int64_t kFrame = AacEncoder::kFrameSize;
} // namespace

int64_t SplicedAacEncode::splitPoint(int64_t total, int sampleRate, int64_t alignment) {
    if (sampleRate <= 0 || double(total) < kShortestSplitSeconds * sampleRate) return 0;
    // The second half starts kPreroll before the split, and it is there that
    // a second decoder must land exactly: step in multiples of both.
    // The halves are balanced with their rolls counted: the first encodes
    // split + kPostroll samples, the second total - split + kPreroll.
    const int64_t step = std::lcm(kFrame, std::max<int64_t>(1, alignment));
    const int64_t middle = (total + kPreroll - kPostroll) / 2;
    const int64_t start = llround(double(middle - kPreroll) / double(step)) * step;
    const int64_t split = start + kPreroll;
    // Both halves must hold more than their rolls.
    if (start <= 0 || split + kPostroll >= total) return 0;
    return split;
}

SplicedAacEncode::SplicedAacEncode(const AacEncoder::Settings& settings, int64_t split)
    : settings_(settings), split_(split) {}

bool SplicedAacEncode::open(QString* error) {
    return first_.encoder.open(settings_, error) && second_.encoder.open(settings_, error);
}

void SplicedAacEncode::encodeHalf(Half& half, const Pull& pull, int64_t limit) {
    const int channels = half.encoder.channels();
    std::vector<uint8_t> out(size_t(half.encoder.maxOutputBytes()));
    auto take = [&](const float* samples, int count) {
        for (;;) {
            const int bytes = half.encoder.encode(samples, count, out.data(), int(out.size()));
            if (bytes < 0) return false;
            if (bytes == 0) return true;
            half.packets.emplace_back(out.begin(), out.begin() + bytes);
            if (count > 0) return true; // at most one frame comes out per frame taken in
        }
    };
    std::vector<float> block;
    while (half.samples < limit && pull(block)) {
        const int64_t frames = std::min<int64_t>(int64_t(block.size()) / channels, limit - half.samples);
        for (int64_t at = 0; at < frames; at += kFrame) {
            const int64_t n = std::min(kFrame, frames - at);
            if (!take(block.data() + at * channels, int(n * channels))) {
                half.failed = true;
                return;
            }
        }
        half.samples += frames;
    }
    // Flush: calls with no input until the encoder is empty.
    if (!take(nullptr, 0)) half.failed = true;
}

bool SplicedAacEncode::run(const Pull& first, const Pull& second, const Sink& sink, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    std::thread secondThread([&] {
        clearUpperVectorState(); // not the starter's stale state
        encodeHalf(second_, second, INT64_MAX);
    });
    encodeHalf(first_, first, split_ + kPostroll);
    secondThread.join();
    if (first_.failed || second_.failed) return fail(QStringLiteral("the AAC encoder failed"));

    size_t firstKept = first_.packets.size(), secondFrom = second_.packets.size();
    samples_ = first_.samples;
    if (first_.samples == split_ + kPostroll) {
        // The second half carries on from the frame whose window starts one
        // frame before the split.
        if (second_.samples <= kPreroll + kPostroll)
            return fail(QStringLiteral("the halves of the encoded audio do not meet"));
        firstKept = size_t(split_ / kFrame);
        secondFrom = size_t(kPreroll / kFrame);
        samples_ = split_ - kPreroll + second_.samples;
        if (first_.packets.size() < firstKept || second_.packets.size() < secondFrom)
            return fail(QStringLiteral("the AAC encoder gave too few frames"));
    }
    for (size_t i = 0; i < firstKept; ++i)
        if (!sink(first_.packets[i].data(), first_.packets[i].size())) return false;
    for (size_t i = secondFrom; i < second_.packets.size(); ++i)
        if (!sink(second_.packets[i].data(), second_.packets[i].size())) return false;
    return true;
}

} // namespace quorvel
