#pragma once
// Wakes a worker from a real-time thread: notify() is a semaphore post,
// which never blocks or allocates; the worker waits with a time-out, so a
// lost wake-up only costs a short delay.
#include <cstdint>

struct SDL_semaphore;

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
    SDL_semaphore* sem_;
};

} // namespace quorvel
