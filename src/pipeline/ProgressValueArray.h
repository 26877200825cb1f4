#pragma once
// The AAC writer's progress, shared with the export screen's timer as its
// user info. Element 0 is the only element anyone reads: the worker replaces
// it and the main thread reads it, so it is one atomic float.
//
// Values: 0.0 to 0.99 while encoding, 1.0 once the file is complete, and
// a negative value when the job ended without a file: kCancelled when it was
// cancelled, kFailed when it failed to set up or the encoder or the file failed.
#include <atomic>

namespace quorvel {

class ProgressValueArray {
public:
    static constexpr float kFailed = -1.0f;
    static constexpr float kCancelled = -2.0f;

    float elementZero() const { return element0_.load(std::memory_order_acquire); }
    void replaceElementZero(float value) { element0_.store(value, std::memory_order_release); }
    bool hasFailed() const { return elementZero() < 0.0f; }
    bool wasCancelled() const { return elementZero() == kCancelled; }

private:
    std::atomic<float> element0_{0.0f};
};

} // namespace quorvel
