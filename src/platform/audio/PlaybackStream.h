#pragma once
// Plays a span of an audio file: from a start time to an end time, with an
// audio mix's volume applied to every sample at its media time (the same
// material the export service writes for that span and mix). A worker
// decodes ahead into a lock-free ring; the output's audio callback takes
// from it and never waits. The first moments are decoded before open()
// returns, so sound starts with the first callback.
//
// Thread safety: open, setEndTime, the destructor and the queries on the main
// thread; render() on the audio thread (see AudioRenderer).
#include "platform/audio/AudioRenderer.h"
#include "platform/core/CMTime.h"
#include "platform/core/NSError.h"
#include "platform/media/AVAudioMix.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace quorvel {

class PlaybackStream final : public AudioRenderer {
public:
    struct Span {
        QString path;
        CMTime start = kCMTimeZero;
        CMTime end = kCMTimeInvalid; // invalid: the end of the file
        std::shared_ptr<AVAudioMix> mix;
    };

    // Opens the file and decodes the first moments. Returns nullptr with the
    // reason when the file cannot be read or holds no audio.
    static std::unique_ptr<PlaybackStream> open(const Span& span, NSError* error);
    // Stops the worker. Detach from the output first.
    ~PlaybackStream() override;

    const Span& span() const { return span_; }
    // Media time of the next frame to be handed to the device.
    CMTime position() const;
    void setEndTime(const CMTime& end);
    // Everything up to the end (or the file's end) has been handed over.
    bool isFinished() const { return finished_.load(std::memory_order_acquire); }
    // Decoding failed before the end; error() says why.
    bool hasFailed() const { return failed_.load(std::memory_order_acquire); }
    NSError error() const;

    // Runs on the main thread when the output has let go of the finished stream.
    void setFinishHandler(std::function<void()> handler) { onFinished_ = std::move(handler); }

    bool render(float* out, int frames) noexcept override;
    void renderingFinished() override;
    // Ends the stream as failed, with the reason, and tells the finish handler.
    void renderingCutOff() override;

    PlaybackStream(const PlaybackStream&) = delete;
    PlaybackStream& operator=(const PlaybackStream&) = delete;

private:
    class Decoder;
    explicit PlaybackStream(const Span& span);

    Span span_;
    int64_t startFrame_ = 0;
    std::unique_ptr<Decoder> decoder_;
    std::atomic<int64_t> endFrames_{INT64_MAX}; // relative to the start
    std::atomic<int64_t> consumed_{0};
    std::atomic<bool> finished_{false};
    std::atomic<bool> failed_{false};
    std::function<void()> onFinished_;
};

} // namespace quorvel
