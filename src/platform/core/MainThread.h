#pragma once
// The main thread is the thread of the Qt application object; its event loop
// runs timers and the work handed over from workers.
#include <functional>

namespace quorvel {

bool isMainThread();
// Queues `work` on the main thread's event loop and returns at once (true).
// Without an application object there is no main thread: the work is refused
// (dropped, with one line in the log) and false is returned; it never runs on
// the calling thread.
bool performOnMainThread(std::function<void()> work);

} // namespace quorvel
