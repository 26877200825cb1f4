#include "platform/audio/PlaybackStream.h"

#include "platform/audio/AudioErrors.h"
#include "platform/audio/AudioOutput.h"
#include "platform/audio/SpscRingBuffer.h"
#include "platform/audio/WakeSignal.h"
#include "platform/core/VectorState.h"
#include "platform/media/AssetExportJob.h"
#include "platform/media/SegmentDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

namespace quorvel {

namespace {
constexpr int kChannels = AudioOutput::kChannels;
constexpr int kRate = AudioOutput::kSampleRate;
// How far the worker decodes ahead of what is heard.
constexpr size_t kRingFrames = kRate;
// Decoded before open() returns (under 0.2 s of sound, a millisecond or two
// of work), so that a worker slow to get going cannot leave a gap.
constexpr size_t kPrefillFrames = 16 * AudioOutput::kPeriodFrames;
// The worker also wakes by itself this often (milliseconds).
constexpr uint32_t kWorkerWaitMs = 200;
// A span without an end reaches this far (seconds): past any file.
constexpr CMTimeValue kOpenEndSeconds = 1000000000;

int64_t framesAt(const CMTime& t) { return std::llround(CMTimeGetSeconds(t) * kRate); }
} // namespace

// Everything the worker owns: the file's decoder, the ring it fills and the
// samples of the chunk that did not fit yet.
class PlaybackStream::Decoder {
public:
    enum class Step { Progress, Full, Blocked, Done };

    Decoder(const Span& span, const std::atomic<int64_t>& endFrames)
        : ring(kRingFrames * kChannels), endFrames_(endFrames) {
        job.sourcePath = span.path;
        job.range = CMTimeRangeMake(span.start, CMTimeMake(kOpenEndSeconds, 1));
        job.mix = span.mix;
    }
    ~Decoder() { stop(); }

    bool open(NSError* openError) { return segment.open(openError); }

    // Hands one chunk (or what is left of it) to the ring, decoding a new one
    // when the last is used up.
    Step step() {
        if (pendingPos_ == pending_.size()) {
            if (produced_ >= endFrames_.load(std::memory_order_acquire)) return Step::Blocked;
            NSError readError;
            switch (segment.next(decoded_, &readError)) {
            case SegmentDecoder::Read::End:
                producerDone.store(true, std::memory_order_release);
                return Step::Done;
            case SegmentDecoder::Read::Failed: {
                std::lock_guard lock(errorMutex);
                error = readError;
                failed.store(true, std::memory_order_release);
                producerDone.store(true, std::memory_order_release);
                return Step::Done;
            }
            case SegmentDecoder::Read::Samples:
                toStereo();
                break;
            }
        }
        const size_t room = ring.writeAvailable() & ~size_t(kChannels - 1);
        const size_t n = ring.write(pending_.data() + pendingPos_, std::min(room, pending_.size() - pendingPos_));
        pendingPos_ += n;
        produced_ += int64_t(n / kChannels);
        return pendingPos_ < pending_.size() ? Step::Full : Step::Progress;
    }

    void prefill() {
        while (ring.readAvailable() < kPrefillFrames * kChannels && step() == Step::Progress) {
        }
    }

    void start() {
        thread_ = std::thread([this] {
            clearUpperVectorState(); // not the starter's stale state
            while (!stop_.load(std::memory_order_acquire)) {
                if (step() == Step::Done) break;
                if (pendingPos_ < pending_.size() || produced_ >= endFrames_.load(std::memory_order_acquire)) {
                    wake_.wait(kWorkerWaitMs);
                }
            }
        });
    }

    void stop() {
        stop_.store(true, std::memory_order_release);
        wake_.notify();
        if (thread_.joinable()) thread_.join();
    }

    // Audio thread: the ring has room again. sem_post never blocks.
    void notify() noexcept { wake_.notify(); }

    SpscRingBuffer<float> ring;
    std::atomic<bool> producerDone{false};
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    NSError error;
    AssetExportJob job;
    SegmentDecoder segment{job};

private:
    void toStereo() {
        const int channels = segment.channels();
        if (channels == kChannels) {
            pending_.swap(decoded_);
        } else {
            const size_t frames = decoded_.size() / size_t(channels);
            pending_.resize(frames * kChannels);
            for (size_t i = 0; i < frames; ++i)
                for (int c = 0; c < kChannels; ++c) pending_[i * kChannels + size_t(c)] = decoded_[i * size_t(channels)];
        }
        pendingPos_ = 0;
    }

    const std::atomic<int64_t>& endFrames_;
    WakeSignal wake_;
    std::vector<float> decoded_;
    std::vector<float> pending_;
    size_t pendingPos_ = 0;
    int64_t produced_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

PlaybackStream::PlaybackStream(const Span& span) : span_(span) {
    if (!span_.start.isNumeric() || CMTimeCompare(span_.start, kCMTimeZero) < 0) span_.start = kCMTimeZero;
    startFrame_ = framesAt(span_.start);
}

std::unique_ptr<PlaybackStream> PlaybackStream::open(const Span& span, NSError* error) {
    std::unique_ptr<PlaybackStream> stream(new PlaybackStream(span));
    stream->setEndTime(span.end);
    stream->decoder_ = std::make_unique<Decoder>(stream->span_, stream->endFrames_);
    NSError failure;
    if (!stream->decoder_->open(&failure)) {
        if (error) *error = failure;
        return nullptr;
    }
    stream->decoder_->prefill();
    stream->decoder_->start();
    return stream;
}

PlaybackStream::~PlaybackStream() {
    if (decoder_) decoder_->stop();
}

CMTime PlaybackStream::position() const {
    return CMTimeMake(startFrame_ + consumed_.load(std::memory_order_acquire), kRate);
}

void PlaybackStream::setEndTime(const CMTime& end) {
    span_.end = end;
    const int64_t frames = end.isNumeric() ? framesAt(end) - startFrame_ : INT64_MAX;
    endFrames_.store(frames, std::memory_order_release);
    if (decoder_) decoder_->notify();
}

NSError PlaybackStream::error() const {
    if (!decoder_) return {};
    std::lock_guard lock(decoder_->errorMutex);
    return decoder_->error;
}

bool PlaybackStream::render(float* out, int frames) noexcept {
    const int64_t consumed = consumed_.load(std::memory_order_relaxed);
    const int64_t end = endFrames_.load(std::memory_order_acquire);
    const size_t want = size_t(std::clamp<int64_t>(end - consumed, 0, frames));
    const size_t got = decoder_->ring.read(out, want * kChannels) / kChannels;
    std::memset(out + got * kChannels, 0, (size_t(frames) - got) * kChannels * sizeof(float));
    consumed_.store(consumed + int64_t(got), std::memory_order_release);
    // The worker refills in large steps: wake it only once the ring is half empty.
    if (decoder_->ring.readAvailable() < decoder_->ring.capacity() / 2) decoder_->notify();
    // What the worker wrote before saying it was done is all there is.
    const bool drained = got < want && decoder_->producerDone.load(std::memory_order_acquire) &&
                         decoder_->ring.readAvailable() == 0;
    if (consumed + int64_t(got) >= end || drained) {
        if (decoder_->failed.load(std::memory_order_acquire)) failed_.store(true, std::memory_order_release);
        finished_.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

void PlaybackStream::renderingFinished() {
    if (onFinished_) onFinished_();
}

void PlaybackStream::renderingCutOff() {
    {
        std::lock_guard lock(decoder_->errorMutex);
        decoder_->error = osStatusError(kAudioHardwareBadDeviceError, QStringLiteral("The sound device is gone"));
    }
    failed_.store(true, std::memory_order_release);
    finished_.store(true, std::memory_order_release);
    renderingFinished();
}

} // namespace quorvel
