#pragma once
// Readies one song's waveform at a time on a worker thread: from the cache
// when the song's peaks are stored there, otherwise decoded and then stored.
// A new start() cancels the job before it: the old job stops at its next
// packet and its completion never runs.
//
// Thread safety: start(), cancel() and the destructor on the main thread;
// completions run on the main thread. The destructor cancels and joins
// every job it started.
#include "platform/core/WorkerThreads.h"
#include "platform/media/WaveformPeaks.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace quorvel {

class WaveformLoader {
public:
    struct Request {
        QString decodePath;   // the file to decode (a song of the song cache: its decoded WAV)
        uint64_t songId = 0;  // with the modification time, the cache's key
        qint64 modifiedMs = 0;
    };
    // The peaks, or null and the reason.
    using Completion = std::function<void(std::shared_ptr<const WaveformPeaks> peaks, const QString& error)>;

    WaveformLoader() = default;
    ~WaveformLoader();
    WaveformLoader(const WaveformLoader&) = delete;
    WaveformLoader& operator=(const WaveformLoader&) = delete;

    void start(const Request& request, Completion completion);
    void cancel();
    // A job was started and has not reported (nor been cancelled).
    bool isRunning() const { return current_ && !current_->reported; }

private:
    struct Job {
        WorkerThreads::Id worker = 0;
        std::atomic<bool> cancelled{false};
        std::atomic<bool> finished{false};
        bool reported = false; // main thread only
    };

    std::shared_ptr<Job> current_;
    std::vector<std::shared_ptr<Job>> jobs_; // not joined yet
};

} // namespace quorvel
