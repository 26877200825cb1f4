#include "platform/core/NSTimer.h"

#include <QTimer>
#include <mutex>
#include <set>

namespace quorvel {

namespace {
// Scheduled timers stay alive here, as a run loop retains its timers.
std::mutex registryMutex;
std::set<std::shared_ptr<NSTimer>>& registry() {
    static std::set<std::shared_ptr<NSTimer>> timers;
    return timers;
}
} // namespace

NSTimer::NSTimer(Callback callback, std::any userInfo, bool repeats)
    : callback_(std::move(callback)), userInfo_(std::move(userInfo)), repeats_(repeats) {}

NSTimer::~NSTimer() = default;

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double seconds, Callback callback,
                                                                 std::any userInfo, bool repeats) {
    std::shared_ptr<NSTimer> t(new NSTimer(std::move(callback), std::move(userInfo), repeats));
    t->timer_ = std::make_unique<QTimer>();
    t->timer_->setInterval(int(seconds * 1000.0 + 0.5));
    t->timer_->setSingleShot(!repeats);
    NSTimer* raw = t.get();
    QObject::connect(t->timer_.get(), &QTimer::timeout, [raw] { raw->fire(); });
    t->timer_->start();
    std::lock_guard lock(registryMutex);
    registry().insert(t);
    return t;
}

void NSTimer::fire() {
    if (!valid_) return;
    // Keep this timer alive while its callback runs, even if it invalidates it.
    auto self = shared_from_this();
    if (callback_) callback_(this);
    if (!repeats_) invalidate();
}

void NSTimer::invalidate() {
    if (!valid_) return;
    valid_ = false;
    if (timer_) timer_->stop();
    callback_ = nullptr;
    std::shared_ptr<NSTimer> self;
    {
        std::lock_guard lock(registryMutex);
        auto it = registry().find(shared_from_this());
        if (it != registry().end()) {
            self = *it; // released after the lock, possibly destroying this timer's owner entry
            registry().erase(it);
        }
    }
}

} // namespace quorvel
