#include "platform/store/NSPersistentStoreWatcher.h"

#include "platform/store/NSPersistentStoreCoordinator.h"

namespace quorvel {

NSPersistentStoreWatcher::NSPersistentStoreWatcher(std::shared_ptr<NSPersistentStoreCoordinator> coordinator,
                                                   int intervalMs, QObject* parent)
    : QObject(parent), coordinator_(std::move(coordinator)) {
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &NSPersistentStoreWatcher::poll);
}

void NSPersistentStoreWatcher::start() {
    if (!coordinator_ || timer_.isActive()) return;
    version_ = coordinator_->dataVersion();
    timer_.start();
}

void NSPersistentStoreWatcher::stop() { timer_.stop(); }

void NSPersistentStoreWatcher::poll() {
    const long long version = coordinator_->dataVersion();
    if (version == version_) return;
    version_ = version;
    emit storeChanged();
}

} // namespace quorvel
