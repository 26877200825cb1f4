#pragma once
// A timer on the event loop of the thread that schedules it, with the user
// info that the system's timers carry. A scheduled timer keeps itself alive
// until it is invalidated (or, for a one-shot timer, until it has fired).
//
// Thread safety: schedule, fire and invalidate on one thread (the thread
// whose event loop runs it).
#include <any>
#include <functional>
#include <memory>

class QTimer;

namespace quorvel {

class NSTimer : public std::enable_shared_from_this<NSTimer> {
public:
    using Callback = std::function<void(NSTimer* timer)>;

    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(double seconds, Callback callback,
                                                                  std::any userInfo, bool repeats);
    ~NSTimer();

    const std::any& userInfo() const { return userInfo_; }
    bool isValid() const { return valid_; }
    void invalidate();
    // Runs the callback now, as a tick would.
    void fire();

    NSTimer(const NSTimer&) = delete;
    NSTimer& operator=(const NSTimer&) = delete;

private:
    NSTimer(Callback callback, std::any userInfo, bool repeats);
    Callback callback_;
    std::any userInfo_;
    bool repeats_;
    bool valid_ = true;
    std::unique_ptr<QTimer> timer_;
};

} // namespace quorvel
