#include "MainThread.h"

#include "Log.h"

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
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        // No main thread to run it on (before the application object exists,
        // or after it has gone at the end of the program). Running it here
        // would run main-thread work on a worker: it is dropped instead.
        static std::atomic<bool> told{false};
        if (!told.exchange(true)) NSLog("performOnMainThread: there is no application object; the work is dropped");
        return false;
    }
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
    return true;
}

} // namespace quorvel
