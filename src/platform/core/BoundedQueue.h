#pragma once
// A first-in first-out hand-over between one producing and one consuming
// thread, holding at most `capacity` items: a producer that runs ahead
// waits, so memory stays bounded. close() ends it from either side.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace quorvel {

template <class T>
class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : capacity_(capacity ? capacity : 1) {}

    // Waits for room; false (item dropped) once the queue is closed.
    bool push(T item) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
        if (closed_) return false;
        items_.push_back(std::move(item));
        changed_.notify_all();
        return true;
    }

    // Waits for an item; false once the queue is closed and empty.
    bool pop(T& item) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (items_.empty()) return false;
        item = std::move(items_.front());
        items_.pop_front();
        changed_.notify_all();
        return true;
    }

    // No more pushes; items already in can still be popped.
    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

private:
    const size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> items_;
    bool closed_ = false;
};

} // namespace quorvel
