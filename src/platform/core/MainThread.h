#pragma once
// The main thread is the thread of the Qt application object; its event loop
// runs timers and the work handed over from workers.
#include <QtGlobal>
#include <functional>

namespace quorvel {

bool isMainThread();
// Where main-thread-only code may run: the main thread, or any thread of a
// program without an application object (then nothing else runs the events).
bool mayRunMainThreadWork();
// Queues `work` on the main thread's event loop and returns at once (true).
// Without an application object there is no main thread: the work is refused
// (dropped, with one line in the log) and false is returned; it never runs on
// the calling thread.
bool performOnMainThread(std::function<void()> work);

} // namespace quorvel

// At the entry points of main-thread-only classes. Checked in builds with
// assertions (Debug, and the sanitized build CI runs: QT_FORCE_ASSERTS).
#define QUORVEL_ASSERT_MAIN_THREAD() \
    Q_ASSERT_X(::quorvel::mayRunMainThreadWork(), Q_FUNC_INFO, "called off the main thread")
