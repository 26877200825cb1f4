#pragma once
// Encodes one stretch of audio as two halves at once, each on its own thread
// with its own AAC encoder, and splices the two packet streams into the one
// stream a single encoder would have made. AAC-LC frames overlap only their
// neighbours, so the halves meet at a frame boundary `split`:
//  - the first encoder takes samples [0, split + kPostroll) and keeps the
//    frames that end by `split`; the post-roll lets its last kept frame see
//    what follows, as one encoder's would when it chooses its window;
//  - the second takes [split - kPreroll, end) and drops the frames of its
//    pre-roll, where it starts from silence and its rate control settles.
// The spliced stream has the first encoder's priming and the second one's end
// padding: one of each, so the file's edit list is that of one encoder and the
// length stays exact.
//
// Thread safety: one object is used by one thread; run() starts and joins the
// second half's thread itself.
#include "platform/aac/AacEncoder.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace quorvel {

class SplicedAacEncode {
public:
    // Samples per channel of the second half's pre-roll and the first half's post-roll.
    static constexpr int64_t kPreroll = 32 * AacEncoder::kFrameSize; // about 0.75 s: the rate control has settled
    static constexpr int64_t kPostroll = AacEncoder::kFrameSize;
    // Shorter stretches are encoded whole: a second thread does not pay.
    static constexpr double kShortestSplitSeconds = 6.0;

    // Where a stretch of `total` samples per channel at `sampleRate` is split:
    // the frame boundary nearest its middle that is a multiple of `alignment`
    // samples (so that a second decoder can start its half there exactly); 0
    // when it is encoded whole.
    static int64_t splitPoint(int64_t total, int sampleRate, int64_t alignment = 1);

    // Hands the next block of its half's interleaved samples (a multiple of the
    // channel count); false at the half's end. Called on the half's own thread.
    using Pull = std::function<bool(std::vector<float>& block)>;
    // Takes the spliced packets in order, on the thread that called run().
    using Sink = std::function<bool(const uint8_t* data, size_t size)>;

    SplicedAacEncode(const AacEncoder::Settings& settings, int64_t split);

    // Opens both encoders; false, with the reason, when one cannot be opened.
    bool open(QString* error);
    const std::vector<uint8_t>& audioSpecificConfig() const { return first_.encoder.audioSpecificConfig(); }
    int primingSamples() const { return first_.encoder.primingSamples(); }

    // Encodes the first half (samples from 0) on this thread and the second
    // (samples from split - kPreroll) on a thread of its own, then hands the
    // spliced packets to `sink`. What a pull gives beyond its half is left
    // out. A first half that ends before split + kPostroll is the whole
    // stretch: all its packets go, and none of the second's. False when an
    // encoder fails, the halves do not meet or the sink refuses a packet.
    bool run(const Pull& first, const Pull& second, const Sink& sink, QString* error);

    // After run(): the stretch's length in samples per channel.
    int64_t samples() const { return samples_; }

private:
    struct Half {
        AacEncoder encoder;
        std::vector<std::vector<uint8_t>> packets;
        int64_t samples = 0; // taken in, per channel
        bool failed = false;
    };
    // Encodes up to `limit` samples per channel of `pull` (and flushes).
    static void encodeHalf(Half& half, const Pull& pull, int64_t limit);

    AacEncoder::Settings settings_;
    int64_t split_;
    Half first_;
    Half second_;
    int64_t samples_ = 0;
};

} // namespace quorvel
