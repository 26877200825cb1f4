#pragma once
// Tells when another process (or another coordinator on the same file) has
// committed a change to the store: the coordinator's data version is read
// every `intervalMs` while the watcher runs, a cheap query that touches no
// rows. This process's own saves are not reported; its contexts know them.
//
//   NSPersistentStoreWatcher watcher(coordinator);
//   connect(&watcher, &NSPersistentStoreWatcher::storeChanged, ... refetch ...);
//   watcher.start();
//
// Main thread only (a QTimer drives it).
#include <QObject>
#include <QTimer>
#include <memory>

namespace quorvel {

class NSPersistentStoreCoordinator;

class NSPersistentStoreWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalMs = 400;

    explicit NSPersistentStoreWatcher(std::shared_ptr<NSPersistentStoreCoordinator> coordinator,
                                      int intervalMs = kDefaultIntervalMs, QObject* parent = nullptr);

    // Changes committed before start() are not reported.
    void start();
    void stop();
    bool isRunning() const { return timer_.isActive(); }

signals:
    void storeChanged();

private:
    void poll();

    std::shared_ptr<NSPersistentStoreCoordinator> coordinator_;
    QTimer timer_;
    long long version_ = 0;
};

} // namespace quorvel
