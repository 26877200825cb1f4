#include "platform/ffmpeg/SampleRateConverter.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

namespace quorvel::ff {

namespace {
// The rates given to the resampler: their ratio is the step to within about
// 1e-7, so a position a minute into the input is off by well under a frame.
constexpr int kOutputRate = 1 << 22;
// Bits of precision of the SoX engine: its "high quality" setting (about
// 120 dB of stop-band rejection).
constexpr int kPrecision = 20;
} // namespace

SampleRateConverter::SampleRateConverter(double step) : step_(step) {
    if (!(step >= 1.0 / 64 && step <= 64.0)) throw std::invalid_argument("SampleRateConverter: step out of range");
    const int inputRate = int(std::lround(step * kOutputRate));
    SwrContext* raw = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    const int rc = swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, kOutputRate, &mono, AV_SAMPLE_FMT_FLT, inputRate, 0, nullptr);
    context_.reset(raw);  // whatever was made is owned before anything can throw
    if (rc < 0 || !raw) throw std::bad_alloc();
    if (av_opt_set_int(raw, "resampler", SWR_ENGINE_SOXR, 0) < 0 || av_opt_set_int(raw, "precision", kPrecision, 0) < 0 ||
        swr_init(raw) < 0)
        throw std::bad_alloc();
}

void SampleRateConverter::convert(const float* in, long frames, std::vector<float>& out) {
    if (frames <= 0) return;
    // Room for everything the resampler can give for this input, so it
    // keeps nothing back.
    const int room = swr_get_out_samples(context_.get(), int(frames)) + 16;
    const size_t at = out.size();
    out.resize(at + size_t(room));
    auto* output = reinterpret_cast<uint8_t*>(out.data() + at);
    const auto* input = reinterpret_cast<const uint8_t*>(in);
    const int got = swr_convert(context_.get(), &output, room, &input, int(frames));
    out.resize(at + size_t(std::max(got, 0)));
}

void SampleRateConverter::flush(std::vector<float>& out) {
    for (;;) {
        const int room = std::max(swr_get_out_samples(context_.get(), 0), 1024);
        const size_t at = out.size();
        out.resize(at + size_t(room));
        auto* output = reinterpret_cast<uint8_t*>(out.data() + at);
        const int got = swr_convert(context_.get(), &output, room, nullptr, 0);
        out.resize(at + size_t(std::max(got, 0)));
        if (got <= 0) return;
    }
}

} // namespace quorvel::ff
