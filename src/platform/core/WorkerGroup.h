#pragma once
// The workers one object started, run by WorkerThreads: the object waits for
// them (join(), or its destructor) without keeping threads of its own.
// Workers that have ended are forgotten at the next start.
//
// Thread safety: every function may be called from any thread, except that
// the destructor must not race a start().
#include "platform/core/WorkerThreads.h"

#include <functional>
#include <mutex>
#include <vector>

namespace quorvel {

class WorkerGroup {
public:
    WorkerGroup() = default;
    ~WorkerGroup() { join(); }
    WorkerGroup(const WorkerGroup&) = delete;
    WorkerGroup& operator=(const WorkerGroup&) = delete;

    // Runs `work` on a new worker (WorkerThreads::start; throws as it does).
    WorkerThreads::Id start(std::function<void()> work);
    // Waits for every worker of the group, those started meanwhile too.
    // Returns at once when called from one of them for itself.
    void join();

private:
    std::mutex mutex_;
    std::vector<WorkerThreads::Id> started_;
};

} // namespace quorvel
