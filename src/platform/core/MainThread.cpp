#include "platform/core/MainThread.h"

#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>

namespace quorvel {

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool mayRunMainThreadWork() { return !QCoreApplication::instance() || isMainThread(); }

bool performOnMainThread(std::function<void()> work) {
    return postToMainThread(QCoreApplication::instance(), std::move(work));
}

bool postToMainThread(QPointer<QObject> context, std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        // No main thread to run it on (before the application object exists,
        // or after it has gone at the end of the program). Running it here
        // would run main-thread work on a worker: it is dropped instead.
        static std::atomic<bool> told{false};
        if (!told.exchange(true)) NSLog("performOnMainThread: there is no application object; the work is dropped");
        return false;
    }
    if (!context) return false;
    // Posted to the application object, which outlives every context: a
    // worker never posts to an object the main thread may be destroying.
    // The context is used only on the main thread, where it is destroyed.
    QMetaObject::invokeMethod(
        app,
        [context = std::move(context), work = std::move(work)] {
            if (context) work();
        },
        Qt::QueuedConnection);
    return true;
}

} // namespace quorvel
