#pragma once
// SDL's disk driver writes what the device is handed to a file as it
// happens; the first sound is the first non-zero byte (silence is all zero
// bytes in every sample format).
#include <QFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace quorvel::bench {

using Clock = std::chrono::steady_clock;

// Polls `path` from `offset` until a non-zero byte appears or `stop` is set;
// returns when that happened.
inline Clock::time_point firstSound(const QString& path, qint64 offset, const std::atomic<bool>& stop) {
    QFile f(path);
    std::vector<char> buf(1 << 16);
    while (!stop.load()) {
        if (!f.isOpen() && !f.open(QIODevice::ReadOnly)) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        if (f.size() < offset) offset = 0; // the driver started the file again
        f.seek(offset);
        const qint64 n = f.read(buf.data(), qint64(buf.size()));
        if (n > 0) {
            for (qint64 i = 0; i < n; ++i)
                if (buf[size_t(i)] != 0) return Clock::now();
            offset += n;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    return Clock::now();
}

} // namespace quorvel::bench
