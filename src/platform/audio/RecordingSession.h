#pragma once
// One recording: captured samples go through a lock-free ring to a writer
// thread that appends them to a WAV file and brings its header up to date
// every half second. Capture stops by itself at the frame limit, exactly.
//
// Thread safety: push() on the capture thread (never blocks); everything
// else on the thread that started the session.
#include "platform/audio/AudioCaptureDevice.h"
#include "platform/audio/SpscRingBuffer.h"
#include "platform/audio/WakeSignal.h"
#include "platform/audio/WavRecordingFile.h"
#include "platform/core/NSError.h"

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvel {

class RecordingSession final : public CaptureSink {
public:
    // Creates the file (replacing any) and starts the writer. `frameLimit`
    // frames are kept at most.
    static std::unique_ptr<RecordingSession> start(const QString& path, int64_t frameLimit, NSError* error);
    ~RecordingSession() override;

    // The device that feeds this session; the session closes it on stop().
    void setDevice(std::unique_ptr<AudioCaptureDevice> device) { device_ = std::move(device); }

    void push(const int16_t* samples, int frames) noexcept override;

    int64_t framesCaptured() const { return captured_.load(std::memory_order_acquire); }
    bool limitReached() const { return framesCaptured() >= limit_; }
    bool isInterrupted() const { return device_ && device_->isLost(); }
    // Writing failed or samples were lost; error() says why.
    bool hasFailed() const { return failed_.load(std::memory_order_acquire); }
    NSError error() const;

    // Closes the device, writes what is left and the final header. Returns
    // false when the file is not complete (see error()).
    bool stop();

    RecordingSession(const RecordingSession&) = delete;
    RecordingSession& operator=(const RecordingSession&) = delete;

private:
    RecordingSession(const QString& path, int64_t frameLimit);
    void writerLoop();
    // Writes what the ring holds; false on a write error.
    bool drain();
    void fail(const NSError& error);

    QString path_;
    int64_t limit_;
    SpscRingBuffer<int16_t> ring_;
    WavRecordingFile file_;
    std::unique_ptr<AudioCaptureDevice> device_;
    std::atomic<int64_t> captured_{0};
    std::atomic<bool> overrun_{false};
    std::atomic<bool> failed_{false};
    std::atomic<bool> stopping_{false};
    mutable std::mutex errorMutex_;
    NSError error_;
    WakeSignal wake_;
    std::thread writer_;
    bool stopped_ = false;
};

} // namespace quorvel
