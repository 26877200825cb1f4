#include "Dirac.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel {

namespace {

using RubberBand::RubberBandStretcher;

// Frames pulled through the read callback per request, and the most we ever
// hand the stretcher in one process() call.
constexpr long kInputBlock = 2048;
// After the final input the stretcher may briefly report nothing available
// before it reports the end; this many empty answers in a row mean it is done.
constexpr int kDrainPatience = 8;

bool validFactor(double v) { return std::isfinite(v) && v >= 1.0 / 64 && v <= 64.0; }

// Per-channel sample blocks with the pointer array that the callbacks and
// Rubber Band take.
class ChannelBuffers {
public:
    ChannelBuffers(long channels, long frames) : data_(size_t(channels), std::vector<float>(size_t(frames))) {
        for (auto& ch : data_) ptrs_.push_back(ch.data());
    }
    float** ptrs() { return ptrs_.data(); }
    long frames() const { return data_.empty() ? 0 : long(data_.front().size()); }
    void clear() {
        for (auto& ch : data_) std::fill(ch.begin(), ch.end(), 0.0f);
    }

private:
    std::vector<std::vector<float>> data_;
    std::vector<float*> ptrs_;
};

class DiracEngine {
public:
    DiracEngine(long quality, long channels, float sampleRate, DiracReadCallback read, void* userData)
        : quality_(quality), channels_(channels), sampleRate_(sampleRate), read_(read), userData_(userData),
          input_(channels, kInputBlock), scratch_(channels, kInputBlock), offsets_(size_t(channels)) {}

    long setProperty(long id, double value) {
        if (started_) return -1;  // the stretcher is built with the values of the first block
        switch (id) {
        case kDiracPropertyPitchFactor:
            if (!validFactor(value)) return -1;
            pitch_ = value;
            return 0;
        case kDiracPropertyTimeFactor:
            if (!validFactor(value)) return -1;
            time_ = value;
            return 0;
        case kDiracPropertyFormantFactor:
            if (!validFactor(value)) return -1;
            formant_ = value;
            return 0;
        case kDiracPropertyUseConstantCpuPitchShift:
            if (!std::isfinite(value)) return -1;
            constantCpu_ = value != 0.0;
            return 0;
        default:
            return -1;
        }
    }

    long process(float** out, long frames) {
        for (long c = 0; c < channels_; ++c)
            if (!out[c]) return -1;
        if (!started_) start();
        long filled = straightCopy_ ? copyFromInput(out, frames) : stretchInto(out, frames);
        for (long c = 0; c < channels_; ++c) std::fill(out[c] + filled, out[c] + frames, 0.0f);
        return filled;
    }

private:
    // Options for the stretcher. Real-time mode streams: offline mode needs a
    // study pass over the whole input first, which a pull source cannot give
    // twice without holding the segment. The preview quality takes the faster
    // (R2) engine: the finer one (R3) costs about a third more here and puts
    // attacks up to 90 ms early when it shifts pitch. Mixed transients keep
    // the phase of fundamentals continuous (crisp ones pulled a steady tone
    // 3-6 % off pitch) while attacks stay sharp; the short window keeps
    // attacks within a few ms of their place.
    RubberBandStretcher::Options options() const {
        using RB = RubberBandStretcher;
        RB::Options o = RB::OptionProcessRealTime | RB::OptionThreadingNever;
        if (quality_ == kDiracQualityPreview)
            o |= RB::OptionEngineFaster | RB::OptionTransientsMixed | RB::OptionWindowShort;
        else
            o |= RB::OptionEngineFiner;
        // Constant-CPU shifting resamples before stretching when shifting up,
        // so the phase vocoder works on fewer samples. Otherwise resample
        // after stretching, which keeps attacks where they belong; with no
        // shift there is nothing to resample.
        if (constantCpu_ || pitch_ == 1.0)
            o |= RB::OptionPitchHighSpeed;
        else
            o |= RB::OptionPitchHighConsistency;
        if (pitch_ != 1.0 && std::fabs(formant_ * pitch_ - 1.0) < 1e-3) o |= RB::OptionFormantPreserved;
        return o;
    }

    void start() {
        started_ = true;
        straightCopy_ = time_ == 1.0 && pitch_ == 1.0;
        if (straightCopy_) return;
        stretcher_ = std::make_unique<RubberBandStretcher>(size_t(sampleRate_), size_t(channels_), options(), time_, pitch_);
        stretcher_->setMaxProcessSize(size_t(kInputBlock));
        // Leading silence lets the first real sample be processed fully; the
        // matching output delay is dropped, which lines output up with input.
        long pad = long(stretcher_->getPreferredStartPad());
        toDiscard_ = int64_t(stretcher_->getStartDelay());
        while (pad > 0) {
            long n = std::min(pad, kInputBlock);
            feed(scratch_.ptrs(), 0, n);
            pad -= n;
        }
    }

    // Hands frames [from, from + frames) to the stretcher in the portions it
    // asks for, so its internal buffers never have to grow.
    void feed(float** block, long from, long frames) {
        while (frames > 0) {
            long n = std::min(frames, std::max(1L, long(stretcher_->getSamplesRequired())));
            for (long c = 0; c < channels_; ++c) offsets_[size_t(c)] = block[c] + from;
            stretcher_->process(offsets_.data(), size_t(n), false);
            from += n;
            frames -= n;
        }
    }

    // Pulls up to `frames` frames through the callback; 0 at the end of input.
    long pull(float** into, long frames) {
        if (inputEnded_) return 0;
        long got = read_(into, frames, userData_);
        if (got <= 0) {
            inputEnded_ = true;
            // Output length is fixed once the input length is known. The small
            // margin keeps an exact product from rounding up a whole frame.
            target_ = std::max<int64_t>(0, int64_t(std::ceil(double(inputFrames_) * time_ - 1e-6)));
            return 0;
        }
        got = std::min(got, frames);
        inputFrames_ += got;
        return got;
    }

    long copyFromInput(float** out, long frames) {
        long filled = 0;
        while (filled < frames) {
            for (long c = 0; c < channels_; ++c) offsets_[size_t(c)] = out[c] + filled;
            long got = pull(offsets_.data(), frames - filled);
            if (got <= 0) break;
            filled += got;
        }
        return filled;
    }

    long stretchInto(float** out, long frames) {
        long filled = 0;
        int idle = 0;
        while (filled < frames && !(inputEnded_ && emitted_ >= target_)) {
            int avail = stretcher_->available();
            if (avail > 0) {
                idle = 0;
                if (toDiscard_ > 0) {
                    long n = long(std::min<int64_t>({int64_t(avail), toDiscard_, int64_t(scratch_.frames())}));
                    stretcher_->retrieve(scratch_.ptrs(), size_t(n));
                    toDiscard_ -= n;
                    continue;
                }
                int64_t n = std::min<int64_t>(avail, frames - filled);
                if (inputEnded_) n = std::min(n, target_ - emitted_);
                for (long c = 0; c < channels_; ++c) offsets_[size_t(c)] = out[c] + filled;
                stretcher_->retrieve(offsets_.data(), size_t(n));
                filled += long(n);
                emitted_ += n;
            } else if (!inputEnded_) {
                long got = pull(input_.ptrs(), kInputBlock);
                if (got > 0) feed(input_.ptrs(), 0, got);
            } else if (!flushed_) {
                stretcher_->process(input_.ptrs(), 0, true);
                flushed_ = true;
            } else if (avail < 0 || ++idle >= kDrainPatience) {
                // The stretcher has given all it has; any shortfall against the
                // promised length is silence (the tail is already out).
                int64_t n = std::min<int64_t>(frames - filled, target_ - emitted_);
                for (long c = 0; c < channels_; ++c) std::fill(out[c] + filled, out[c] + filled + n, 0.0f);
                filled += long(n);
                emitted_ += n;
            }
        }
        return filled;
    }

    const long quality_;
    const long channels_;
    const float sampleRate_;
    const DiracReadCallback read_;
    void* const userData_;

    double time_ = 1.0;
    double pitch_ = 1.0;
    double formant_ = 1.0;
    bool constantCpu_ = false;

    bool started_ = false;
    bool straightCopy_ = false;
    std::unique_ptr<RubberBandStretcher> stretcher_;
    ChannelBuffers input_;          // the block last pulled through the callback
    ChannelBuffers scratch_;        // start padding (zeros) and dropped output
    std::vector<float*> offsets_;   // per-channel pointers into the caller's block
    int64_t inputFrames_ = 0;
    bool inputEnded_ = false;
    bool flushed_ = false;
    int64_t target_ = 0;            // output length, known once the input ended
    int64_t emitted_ = 0;
    int64_t toDiscard_ = 0;         // start delay still to drop
};

} // namespace

void* DiracCreate(long mode, long quality, long channels, float sampleRate, DiracReadCallback readCallback,
                  void* userData) {
    (void)mode;  // every mode streams the same way; quality picks the engine
    if (!readCallback || channels < 1 || channels > 64 || !(sampleRate >= 1000.0f && sampleRate <= 768000.0f))
        return nullptr;
    if (quality < kDiracQualityPreview || quality > kDiracQualityBest) return nullptr;
    return new DiracEngine(quality, channels, sampleRate, readCallback, userData);
}

long DiracSetProperty(long id, double value, void* dirac) {
    if (!dirac) return -1;
    return static_cast<DiracEngine*>(dirac)->setProperty(id, value);
}

long DiracProcess(float** audioOut, long numFrames, void* dirac) {
    if (!dirac || !audioOut || numFrames < 0) return -1;
    return static_cast<DiracEngine*>(dirac)->process(audioOut, numFrames);
}

void DiracDestroy(void* dirac) { delete static_cast<DiracEngine*>(dirac); }

} // namespace quorvel
