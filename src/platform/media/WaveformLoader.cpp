#include "platform/media/WaveformLoader.h"

#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/media/WaveformCache.h"

#include <algorithm>

namespace quorvel {

WaveformLoader::~WaveformLoader() {
    cancel();
    for (const auto& job : jobs_) WorkerThreads::join(job->worker);
}

void WaveformLoader::cancel() {
    if (current_) current_->cancelled = true;
    current_.reset();
    // Jobs that have ended are joined now (at once: they only have their return left).
    jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(),
                               [](const std::shared_ptr<Job>& job) {
                                   if (!job->finished) return false;
                                   WorkerThreads::join(job->worker);
                                   return true;
                               }),
                jobs_.end());
}

void WaveformLoader::start(const Request& request, Completion completion) {
    cancel();
    auto job = std::make_shared<Job>();
    current_ = job;
    jobs_.push_back(job);
    job->worker = WorkerThreads::start([job, request, completion = std::move(completion)] {
        std::shared_ptr<const WaveformPeaks> peaks;
        QString error;
        if (auto stored = WaveformCache::load(request.songId, request.modifiedMs)) {
            peaks = std::make_shared<const WaveformPeaks>(std::move(*stored));
        } else if (auto computed = WaveformPeaks::compute(request.decodePath, &job->cancelled, &error)) {
            peaks = std::make_shared<const WaveformPeaks>(std::move(*computed));
            QString storeError;
            if (!WaveformCache::store(request.songId, request.modifiedMs, *peaks, &storeError))
                NSLog("The waveform was not cached: %@", storeError);
        }
        if (!job->cancelled) {
            performOnMainThread([job, completion, peaks, error] {
                if (job->cancelled || job->reported) return;
                job->reported = true;
                completion(peaks, error);
            });
        }
        job->finished = true;
    });
}

} // namespace quorvel
