#pragma once
// Wakes a worker from a real-time thread: notify() is a semaphore post,
// which never blocks or allocates; the worker waits with a time-out, so a
// lost wake-up only costs a short delay.
#include <cstdint>
#include <semaphore>

namespace quorvel {

class WakeSignal {
public:
    WakeSignal() = default;
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    void notify() noexcept;
    // Waits for a notification or `ms`, then forgets any further ones.
    void wait(uint32_t ms);

private:
    std::counting_semaphore<> sem_{0};
};

} // namespace quorvel
