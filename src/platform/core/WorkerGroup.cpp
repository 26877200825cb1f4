#include "platform/core/WorkerGroup.h"

#include <algorithm>

namespace quorvel {

WorkerThreads::Id WorkerGroup::start(std::function<void()> work) {
    const WorkerThreads::Id id = WorkerThreads::start(std::move(work));
    std::lock_guard lock(mutex_);
    std::erase_if(started_, [](WorkerThreads::Id other) { return !WorkerThreads::isRunning(other); });
    started_.push_back(id);
    return id;
}

void WorkerGroup::join() {
    for (;;) {
        std::vector<WorkerThreads::Id> waiting;
        {
            std::lock_guard lock(mutex_);
            waiting.swap(started_);
        }
        if (waiting.empty()) return;
        for (const WorkerThreads::Id id : waiting) WorkerThreads::join(id);
    }
}

} // namespace quorvel
