#include "pipeline/Dirac.h"

#include "pipeline/DiracStages.h"
#include "pipeline/FormantShifter.h"
#include "pipeline/PeakLimiter.h"
#include "pipeline/StreamResampler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel {

namespace {

using RubberBand::RubberBandStretcher;

// Frames pulled through the read callback per request, and the most any step
// of the chain is handed at once.
constexpr long kInputBlock = 2048;
// The largest time stretch that the finer engine's short window does in one
// step.
constexpr double kCleanStretch = 1.5;
// Output peaks are held below this (-0.2 dB), under the writer's clamp.
constexpr float kPeakCeiling = 0.977f;

bool validFactor(double v) { return std::isfinite(v) && v >= 1.0 / 64 && v <= 64.0; }
bool isOne(double v) { return std::fabs(v - 1.0) < 1e-6; }

class DiracEngine {
public:
    DiracEngine(long quality, long channels, float sampleRate, DiracReadCallback read, void* userData)
        : quality_(quality), channels_(channels), sampleRate_(sampleRate), read_(read), userData_(userData),
          input_(channels, kInputBlock), offsets_(size_t(channels)) {}

    long setProperty(long id, double value) {
        if (started_) return -1;  // the chain is built with the values of the first block
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
        long filled = chain_ ? produce(out, frames) : copyFromInput(out, frames);
        for (long c = 0; c < channels_; ++c) std::fill(out[c] + filled, out[c] + frames, 0.0f);
        return filled;
    }

private:
    void start() {
        started_ = true;
        if (time_ == 1.0 && pitch_ == 1.0 && formant_ == 1.0) return;  // a straight copy
        chain_ = makeChain(channels_, true);
        if (chain_->empty()) {
            chain_.reset();
            return;
        }
        const int64_t delay = measureDelay();
        if (delay >= 0)
            toDiscard_ = delay;
        else
            leadingSilence_ = -delay;
    }

    // `threaded`: the stretcher, most of the work, runs on a thread of its
    // own while this one reads and writes and does the lighter steps.
    std::unique_ptr<StageChain> makeChain(long channels, bool threaded) const {
        auto chain = std::make_unique<StageChain>(channels, kInputBlock);
        if (quality_ == kDiracQualityPreview)
            addPreviewSteps(*chain, channels, threaded);
        else
            chain->add(stretchStep(channels, finerOptions(), time_, pitch_, threaded));
        if (!chain->empty()) chain->add(std::make_unique<PeakLimiter>(channels, double(sampleRate_), kPeakCeiling));
        return chain;
    }

    std::unique_ptr<DiracStage> stretchStep(long channels, RubberBandStretcher::Options options, double timeRatio,
                                            double pitchScale, bool threaded) const {
        auto stretch = std::make_unique<StretchStage>(channels, sampleRate_, options, timeRatio, pitchScale, kInputBlock);
        if (!threaded) return stretch;
        return std::make_unique<ThreadedStage>(channels, std::move(stretch));
    }

    // The preview chain keeps Rubber Band to stretching time at an unchanged
    // pitch and shifts pitch by resampling; formants are moved first,
    // against the shift, by our spectral-envelope step (Rubber Band's own
    // formant-preserving shift is far noisier on held notes, and in real
    // time makes an octave down 7 dB louder with R3). The stretch is the
    // finer (R3) engine with its short window: of Rubber Band's real-time
    // settings the one that keeps held notes clean and steady and music at
    // its level, and here it costs less than the faster R2 engine, which
    // either resets phases at onsets it finds in held notes (noise around
    // every harmonic) or, told not to, lets a sine sink by up to 15 dB at
    // some ratios.
    void addPreviewSteps(StageChain& chain, long channels, bool threaded) const {
        using RB = RubberBandStretcher;
        if (!isOne(formant_)) chain.add(std::make_unique<PerChannelStage<FormantShifter>>(channels, formant_, double(sampleRate_)));
        // Shifting up reads the input faster, so resampling first leaves
        // fewer frames for the stretcher: the cheaper order.
        const bool shift = !isOne(pitch_);
        const bool resampleFirst = shift && constantCpu_ && pitch_ > 1.0;
        if (shift && resampleFirst) chain.add(std::make_unique<PerChannelStage<StreamResampler>>(channels, pitch_));
        const double stretch = time_ * pitch_;
        if (!isOne(stretch)) {
            const RB::Options options =
                RB::OptionProcessRealTime | RB::OptionThreadingNever | RB::OptionEngineFiner | RB::OptionWindowShort;
            // Beyond about 1.5 the short window leaves noise some 44 dB under
            // a held note (60 dB up to there); two stretches by the square
            // root, each on a thread of its own, keep it near 60 dB. They
            // cost twice the work, so only a plain slow-down takes them: a
            // shifted note at 44 dB is already cleaner than Rubber Band's
            // offline engine makes it, a plain one is not.
            if (!shift && stretch > kCleanStretch && stretch <= kCleanStretch * kCleanStretch) {
                chain.add(stretchStep(channels, options, std::sqrt(stretch), 1.0, threaded));
                chain.add(stretchStep(channels, options, std::sqrt(stretch), 1.0, threaded));
            } else {
                chain.add(stretchStep(channels, options, stretch, 1.0, threaded));
            }
        }
        if (shift && !resampleFirst) chain.add(std::make_unique<PerChannelStage<StreamResampler>>(channels, pitch_));
    }

    // How far output lags behind where it belongs, measured with clicks in
    // silence through a one-channel twin of the chain (tens of ms at most).
    // The stretcher's own figure is off by up to 15 ms at some ratios, and
    // at large ratios a click comes out as a few spaced copies whose balance
    // depends on where it falls between analysis frames: the centre of
    // energy of each click is where it is heard, and the average over clicks
    // at different offsets is what gets lined up.
    int64_t measureDelay() const {
        constexpr long kClicks = 8;
        // Far enough apart that one click's smear (it grows with the stretch)
        // does not reach the next.
        long spacing = 2048;
        while (spacing < 16384 && double(spacing) < 2048.0 * time_ * pitch_) spacing *= 2;
        const long length = (kClicks + 2) * spacing;
        std::vector<float> probe(size_t(length), 0.0f);
        std::vector<double> clickAt(kClicks), energy(kClicks), moment(kClicks);
        for (long j = 0; j < kClicks; ++j) {
            const long at = (j + 1) * spacing + j * 37;  // different offsets from the frame grid
            probe[size_t(at)] = 0.5f;
            clickAt[size_t(j)] = double(at) * time_;
        }
        const double reach = double(spacing) * time_ / 2;
        auto twin = makeChain(1, false);
        std::vector<float> out(size_t(kInputBlock), 0.0f);
        int64_t position = 0;
        auto collect = [&] {
            float* outPointer = out.data();
            while (long n = twin->pull(&outPointer, kInputBlock)) {
                for (long i = 0; i < n; ++i, ++position) {
                    const double e = double(out[size_t(i)]) * out[size_t(i)];
                    for (size_t j = 0; j < clickAt.size(); ++j) {
                        if (std::fabs(double(position) - clickAt[j]) < reach) {
                            energy[j] += e;
                            moment[j] += e * (double(position) - clickAt[j]);
                        }
                    }
                }
            }
        };
        for (long from = 0; from < length; from += kInputBlock) {
            float* at = probe.data() + from;
            twin->push(&at, std::min(kInputBlock, length - from));
            collect();
        }
        twin->finish();
        collect();
        double lag = 0;
        int heard = 0;
        for (size_t j = 0; j < clickAt.size(); ++j) {
            if (energy[j] < 1e-6) continue;
            lag += moment[j] / energy[j];
            ++heard;
        }
        return heard ? std::llround(lag / heard) : 0;
    }

    // The higher qualities leave stretching, shifting and formants to the
    // finer engine.
    RubberBandStretcher::Options finerOptions() const {
        using RB = RubberBandStretcher;
        RB::Options o = RB::OptionProcessRealTime | RB::OptionThreadingNever | RB::OptionEngineFiner;
        o |= constantCpu_ ? RB::OptionPitchHighSpeed : RB::OptionPitchHighConsistency;
        if (!isOne(pitch_) && std::fabs(formant_ * pitch_ - 1.0) < 1e-3) o |= RB::OptionFormantPreserved;
        return o;
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

    float** at(float** block, long from) {
        for (long c = 0; c < channels_; ++c) offsets_[size_t(c)] = block[c] + from;
        return offsets_.data();
    }

    long copyFromInput(float** out, long frames) {
        long filled = 0;
        while (filled < frames) {
            long got = pull(at(out, filled), frames - filled);
            if (got <= 0) break;
            filled += got;
        }
        return filled;
    }

    long produce(float** out, long frames) {
        long filled = 0;
        while (filled < frames && !(inputEnded_ && emitted_ >= target_)) {
            long want = frames - filled;
            if (inputEnded_) want = long(std::min<int64_t>(want, target_ - emitted_));
            long n = 0;
            if (leadingSilence_ > 0) {
                n = long(std::min<int64_t>(want, leadingSilence_));
                for (long c = 0; c < channels_; ++c) std::fill_n(out[c] + filled, n, 0.0f);
                leadingSilence_ -= n;
            } else {
                n = chain_->pull(at(out, filled), long(std::min<int64_t>(want, toDiscard_ > 0 ? toDiscard_ : want)));
                if (n > 0 && toDiscard_ > 0) {
                    toDiscard_ -= n;  // output of the chain's start-up: dropped
                    continue;
                }
            }
            if (n == 0 && inputEnded_ && chain_->drained()) {
                // The chain has given all it has; any shortfall against the
                // promised length is silence (the tail is already out).
                n = want;
                for (long c = 0; c < channels_; ++c) std::fill_n(out[c] + filled, n, 0.0f);
            }
            if (n == 0) {
                pump();
                continue;
            }
            filled += n;
            emitted_ += n;
        }
        return filled;
    }

    // Moves one input block (or the end of input) into the chain.
    void pump() {
        long got = pull(input_.ptrs(), kInputBlock);
        if (got > 0)
            chain_->push(input_.ptrs(), got);
        else
            chain_->finish();
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
    std::unique_ptr<StageChain> chain_;  // none: a straight copy
    StageBlock input_;          // the block last pulled through the callback
    std::vector<float*> offsets_;   // per-channel pointers into a block
    int64_t inputFrames_ = 0;
    bool inputEnded_ = false;
    int64_t target_ = 0;            // output length, known once the input ended
    int64_t emitted_ = 0;
    int64_t toDiscard_ = 0;         // chain output that precedes the first input frame
    int64_t leadingSilence_ = 0;    // or silence still owed, when the chain is early
};

} // namespace

void* DiracCreate(long mode, long quality, long channels, float sampleRate, DiracReadCallback readCallback,
                  void* userData) {
    (void)mode;  // every mode streams the same way; quality picks the chain
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
