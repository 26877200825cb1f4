#include "platform/core/GrowingFile.h"

#include <QHash>
#include <condition_variable>
#include <mutex>

namespace quorvel {

namespace {

struct Registry {
    std::mutex mutex;
    std::condition_variable changed;
    QHash<QString, GrowingFile::State> files;
    QHash<QString, QString> reasons; // of the Failed ones
    // Counts every step, so that a waiter sees a step made between its look and its wait.
    quint64 steps = 0;
};

Registry& registry() {
    static Registry r;
    return r;
}

// Applies `edit` to the table under the lock, counts a step and wakes the waiters.
template <class Edit>
void change(Edit edit) {
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        edit(r);
        ++r.steps;
    }
    r.changed.notify_all();
}

} // namespace

void GrowingFile::begin(const QString& path) {
    change([&](Registry& r) {
        r.files.insert(path, State::Growing);
        r.reasons.remove(path);
    });
}

void GrowingFile::grew(const QString&) {
    change([](Registry&) {});
}

void GrowingFile::end(const QString& path, bool complete, const QString& reason) {
    change([&](Registry& r) {
        if (complete) {
            r.files.remove(path);
            r.reasons.remove(path);
        } else {
            r.files.insert(path, State::Failed);
            r.reasons.insert(path, reason);
        }
    });
}

GrowingFile::State GrowingFile::state(const QString& path) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.files.value(path, State::NotGrowing);
}

QString GrowingFile::failureReason(const QString& path) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.reasons.value(path);
}

GrowingFile::State GrowingFile::waitForMore(const QString& path, std::chrono::milliseconds timeout) {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    const quint64 seen = r.steps;
    const State now = r.files.value(path, State::NotGrowing);
    if (now != State::Growing) return now;
    r.changed.wait_for(lock, timeout, [&] { return r.steps != seen; });
    return r.files.value(path, State::NotGrowing);
}

} // namespace quorvel
