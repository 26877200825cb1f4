#include "platform/audio/WakeSignal.h"

#include <cerrno>
#include <ctime>

namespace quorvel {

WakeSignal::WakeSignal() { sem_init(&sem_, 0, 0); }

WakeSignal::~WakeSignal() { sem_destroy(&sem_); }

void WakeSignal::notify() noexcept {
    int value = 0;
    // A worker that has not woken yet needs one post, not thousands.
    if (sem_getvalue(&sem_, &value) == 0 && value > 0) return;
    sem_post(&sem_);
}

void WakeSignal::wait(uint32_t ms) {
    // The monotonic clock: a change of the wall clock neither cuts the wait
    // short nor stretches it.
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += time_t(ms / 1000);
    until.tv_nsec += long(ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    while (sem_clockwait(&sem_, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
    }
    while (sem_trywait(&sem_) == 0) {
    }
}

} // namespace quorvel
