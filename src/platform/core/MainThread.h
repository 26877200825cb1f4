#pragma once
// The main thread is the thread of the Qt application object; its event loop
// runs timers and the work handed over from workers.
#include <functional>

namespace quorvel {

bool isMainThread();
// Queues `work` on the main thread's event loop and returns at once.
void performOnMainThread(std::function<void()> work);

} // namespace quorvel
