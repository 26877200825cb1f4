#pragma once
// The main thread is the thread of the Qt application object; its event loop
// runs timers and the work handed over from workers.
#include <QObject>
#include <QPointer>
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
// Queues `work` on the main thread's event loop for `context`, an object of
// the main thread. Qt clears the pointer when the context is destroyed: a
// delivery whose context is gone by its turn is dropped, so work that uses
// its receiver needs no check of its own. Any thread may post; a worker
// gets its copy of the pointer from the main thread (or from a call during
// which the context is known to be alive), never from a bare pointer to an
// object that may be going. Returns false (the work is dropped at once)
// for a context that is already gone, and as performOnMainThread does
// without an application object.
bool postToMainThread(QPointer<QObject> context, std::function<void()> work);

} // namespace quorvel

// At the entry points of main-thread-only classes. Checked in builds with
// assertions (Debug, and the sanitized build CI runs: QT_FORCE_ASSERTS).
#define QUORVEL_ASSERT_MAIN_THREAD() \
    Q_ASSERT_X(::quorvel::mayRunMainThreadWork(), Q_FUNC_INFO, "called off the main thread")
