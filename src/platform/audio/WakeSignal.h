#pragma once
// Wakes a worker from a real-time thread: notify() is a semaphore post,
// which never blocks or allocates; the worker waits with a time-out, so a
// lost wake-up only costs a short delay.
//
// A POSIX semaphore, not std::counting_semaphore: the timed wait of GCC 12's
// libstdc++ (Debian bookworm's) can miss every later post and its own
// time-out, and a recording's writer then never ends.
#include <cstdint>
#include <semaphore.h>

namespace quorvel {

class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    void notify() noexcept;
    // Waits for a notification or `ms`, then forgets any further ones.
    void wait(uint32_t ms);

private:
    sem_t sem_;
};

} // namespace quorvel
