#include "platform/audio/WakeSignal.h"

#include <chrono>

namespace quorvel {

void WakeSignal::notify() noexcept { sem_.release(); }

void WakeSignal::wait(uint32_t ms) {
    (void)sem_.try_acquire_for(std::chrono::milliseconds(ms));
    while (sem_.try_acquire()) {
    }
}

} // namespace quorvel
