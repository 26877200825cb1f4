#pragma once
// A lock-free ring of samples between exactly one producer thread and one
// consumer thread (the audio callback on either side). Neither side ever
// blocks or allocates; the storage is allocated once, up front.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <vector>

namespace quorvel {

template <class T> class SpscRingBuffer {
public:
    explicit SpscRingBuffer(size_t capacity) : buffer_(capacity + 1) {}
    SpscRingBuffer(const SpscRingBuffer&) = delete;
    SpscRingBuffer& operator=(const SpscRingBuffer&) = delete;

    size_t capacity() const { return buffer_.size() - 1; }

    // Producer side.
    size_t writeAvailable() const {
        const size_t w = write_.load(std::memory_order_relaxed);
        const size_t r = read_.load(std::memory_order_acquire);
        return capacity() - used(w, r);
    }
    // Writes up to `n` items; returns how many fitted.
    size_t write(const T* data, size_t n) {
        const size_t w = write_.load(std::memory_order_relaxed);
        const size_t r = read_.load(std::memory_order_acquire);
        n = std::min(n, capacity() - used(w, r));
        const size_t first = std::min(n, buffer_.size() - w);
        std::memcpy(buffer_.data() + w, data, first * sizeof(T));
        std::memcpy(buffer_.data(), data + first, (n - first) * sizeof(T));
        write_.store((w + n) % buffer_.size(), std::memory_order_release);
        return n;
    }

    // Consumer side.
    size_t readAvailable() const {
        const size_t r = read_.load(std::memory_order_relaxed);
        const size_t w = write_.load(std::memory_order_acquire);
        return used(w, r);
    }
    // Reads up to `n` items into `out`; returns how many there were.
    size_t read(T* out, size_t n) {
        const size_t r = read_.load(std::memory_order_relaxed);
        const size_t w = write_.load(std::memory_order_acquire);
        n = std::min(n, used(w, r));
        const size_t first = std::min(n, buffer_.size() - r);
        std::memcpy(out, buffer_.data() + r, first * sizeof(T));
        std::memcpy(out + first, buffer_.data(), (n - first) * sizeof(T));
        read_.store((r + n) % buffer_.size(), std::memory_order_release);
        return n;
    }

private:
    size_t used(size_t w, size_t r) const { return w >= r ? w - r : w + buffer_.size() - r; }

    std::vector<T> buffer_;
    alignas(64) std::atomic<size_t> write_{0};
    alignas(64) std::atomic<size_t> read_{0};
};

} // namespace quorvel
