#include "MainThread.h"

#include <QCoreApplication>
#include <QThread>

namespace quorvel {

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void performOnMainThread(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        // No event loop (a plain tool): run in place rather than lose the work.
        work();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

} // namespace quorvel
