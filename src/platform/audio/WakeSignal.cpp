#include "platform/audio/WakeSignal.h"

#include <SDL.h>
#include <thread>

namespace quorvel {

WakeSignal::WakeSignal() : sem_(SDL_CreateSemaphore(0)) {}

WakeSignal::~WakeSignal() {
    if (sem_) SDL_DestroySemaphore(sem_);
}

void WakeSignal::notify() noexcept {
    if (sem_) SDL_SemPost(sem_);
}

void WakeSignal::wait(uint32_t ms) {
    if (!sem_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    SDL_SemWaitTimeout(sem_, ms);
    while (SDL_SemTryWait(sem_) == 0) {
    }
}

} // namespace quorvel
