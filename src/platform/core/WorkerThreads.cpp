#include "platform/core/WorkerThreads.h"

#include "platform/core/VectorState.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace quorvel {

namespace {

struct Registry {
    std::mutex mutex;
    std::condition_variable ended; // notified when a worker's work returns
    std::map<WorkerThreads::Id, std::thread> threads; // not joined yet
    std::set<WorkerThreads::Id> finished;             // work returned, thread not joined yet
    WorkerThreads::Id next = 1;
    std::atomic<bool> stopping{false};
};

// Never destroyed: a worker may still reach it while the program ends.
Registry& registry() {
    static Registry* r = [] {
        auto* created = new Registry;
        std::atexit([] { WorkerThreads::joinAll(); });
        return created;
    }();
    return *r;
}

// Threads whose work has returned; the caller joins them (quickly: they only
// have their return left) outside the lock.
std::vector<std::thread> takeFinished(Registry& r) {
    std::vector<std::thread> done;
    for (WorkerThreads::Id id : r.finished) {
        auto it = r.threads.find(id);
        if (it == r.threads.end()) continue;
        done.push_back(std::move(it->second));
        r.threads.erase(it);
    }
    r.finished.clear();
    return done;
}

void joinEach(std::vector<std::thread>& threads) {
    for (std::thread& t : threads)
        if (t.joinable()) t.join();
}

} // namespace

WorkerThreads::Id WorkerThreads::start(std::function<void()> work) {
    Registry& r = registry();
    std::vector<std::thread> done;
    Id id;
    {
        std::lock_guard lock(r.mutex);
        done = takeFinished(r);
        id = r.next++;
        // The lock is held until the thread is in the map: its own end,
        // which takes the lock, cannot come first.
        r.threads.emplace(id, std::thread([id, work = std::move(work)]() mutable {
            clearUpperVectorState(); // not the starter's stale state
            work();
            work = nullptr; // what the work captured goes while it is still counted
            Registry& reg = registry();
            std::lock_guard end(reg.mutex);
            reg.finished.insert(id);
            reg.ended.notify_all();
        }));
    }
    joinEach(done);
    return id;
}

void WorkerThreads::join(Id id) {
    Registry& r = registry();
    std::thread thread;
    {
        std::unique_lock lock(r.mutex);
        auto it = r.threads.find(id);
        if (it == r.threads.end() || it->second.get_id() == std::this_thread::get_id()) return;
        r.ended.wait(lock, [&] { return r.finished.count(id) > 0 || r.threads.count(id) == 0; });
        it = r.threads.find(id);
        if (it == r.threads.end()) return; // someone else joined it meanwhile
        thread = std::move(it->second);
        r.threads.erase(it);
        r.finished.erase(id);
    }
    thread.join();
}

bool WorkerThreads::isRunning(Id id) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.threads.count(id) > 0 && r.finished.count(id) == 0;
}

void WorkerThreads::joinAll() {
    Registry& r = registry();
    r.stopping = true;
    for (;;) {
        std::vector<std::thread> all;
        {
            std::lock_guard lock(r.mutex);
            for (auto& [id, t] : r.threads)
                if (t.get_id() != std::this_thread::get_id()) all.push_back(std::move(t));
            // A worker calling this (exit() on a worker) cannot join itself.
            std::erase_if(r.threads, [](const auto& entry) { return !entry.second.joinable(); });
            r.finished.clear();
        }
        if (all.empty()) return;
        joinEach(all);
    }
}

bool WorkerThreads::stopRequested() { return registry().stopping.load(); }

} // namespace quorvel
