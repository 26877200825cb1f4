#include "platform/audio/RecordingSession.h"

#include "platform/audio/AudioErrors.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/core/VectorState.h"

#include <algorithm>

namespace quorvel {

namespace {
constexpr int kRate = AudioCaptureDevice::kSampleRate;
// Room for a few seconds of sound, should the disk stall.
constexpr size_t kRingFrames = 4 * kRate;
constexpr uint32_t kWriterWaitMs = 50;
// The header is brought up to date after this many new bytes (half a second).
constexpr uint64_t kHeaderEveryBytes = kRate;
} // namespace

RecordingSession::RecordingSession(const QString& path, int64_t frameLimit)
    : path_(path), limit_(std::max<int64_t>(0, frameLimit)), ring_(kRingFrames) {}

std::unique_ptr<RecordingSession> RecordingSession::start(const QString& path, int64_t frameLimit, NSError* error) {
    std::unique_ptr<RecordingSession> session(new RecordingSession(path, frameLimit));
    if (!session->file_.create(path, kRate, 1)) {
        if (error)
            *error = osStatusError(kAudioFilePermissionsError, QStringLiteral("Cannot create the recording %1: %2")
                                                                   .arg(path, session->file_.errorString()));
        return nullptr;
    }
    session->writer_ = std::thread([s = session.get()] { s->writerLoop(); });
    return session;
}

RecordingSession::~RecordingSession() { stop(); }

void RecordingSession::push(const int16_t* samples, int frames) noexcept {
    const int64_t captured = captured_.load(std::memory_order_relaxed);
    const int64_t n = std::min<int64_t>(frames, limit_ - captured);
    if (n <= 0) return;
    if (ring_.write(samples, size_t(n)) < size_t(n)) overrun_.store(true, std::memory_order_release);
    captured_.store(captured + n, std::memory_order_release);
    wake_.notify();
}

NSError RecordingSession::error() const {
    std::lock_guard lock(errorMutex_);
    return error_;
}

void RecordingSession::fail(const NSError& error) {
    std::lock_guard lock(errorMutex_);
    if (failed_.load(std::memory_order_relaxed)) return;
    error_ = error;
    failed_.store(true, std::memory_order_release);
}

bool RecordingSession::drain() {
    int16_t block[4096];
    bool ok = true;
    while (size_t n = ring_.read(block, std::size(block))) {
        // After a failure the ring is still emptied, so capture never stalls.
        if (ok && !hasFailed() && !file_.append(block, n)) ok = false;
    }
    return ok;
}

void RecordingSession::writerLoop() {
    clearUpperVectorState(); // not the starter's stale state
    uint64_t headerAt = 0;
    while (true) {
        // Everything pushed before the stop mark was set is drained below.
        const bool last = stopping_.load(std::memory_order_acquire);
        if (!drain())
            fail(osStatusError(kAudioFileUnspecifiedError, QStringLiteral("Cannot write the recording %1: %2")
                                                               .arg(path_, file_.errorString())));
        if (overrun_.load(std::memory_order_acquire))
            fail(osStatusError(kAudioFileUnspecifiedError,
                               QStringLiteral("The recording fell behind the microphone and lost sound")));
        if (!hasFailed() && file_.dataBytes() - headerAt >= kHeaderEveryBytes) {
            headerAt = file_.dataBytes();
            if (!file_.updateHeader())
                fail(osStatusError(kAudioFileUnspecifiedError, QStringLiteral("Cannot write the recording %1: %2")
                                                                   .arg(path_, file_.errorString())));
        }
        if (last) break;
        wake_.wait(kWriterWaitMs);
    }
}

bool RecordingSession::stop() {
    if (stopped_) return !hasFailed();
    stopped_ = true;
    device_.reset(); // joins the capture thread: nothing is pushed after this
    stopping_.store(true, std::memory_order_release);
    wake_.notify();
    if (writer_.joinable()) writer_.join();
    if (!file_.close())
        fail(osStatusError(kAudioFileUnspecifiedError,
                           QStringLiteral("Cannot finish the recording %1: %2").arg(path_, file_.errorString())));
    return !hasFailed();
}

} // namespace quorvel
