#pragma once
// The owner of every worker thread the program starts on its own (asset
// loading, effects runs, export workers, the AAC writer's jobs), so that no
// thread outlives the program: each is joined by whoever waits for it, or by
// joinAll() at the end. Programs call joinAll() before main() returns, while
// their application object still exists; it also runs at exit() for a
// program that does not.
//
// Thread safety: every function may be called from any thread.
#include <cstdint>
#include <functional>

namespace quorvel {

class WorkerThreads {
public:
    using Id = uint64_t;

    // Runs `work` on a new thread and returns at once. The work may start
    // further workers; it must not wait for the main thread.
    static Id start(std::function<void()> work);
    // Waits until the worker `id` has ended. Returns at once for a worker
    // that has already been joined, and when called on that worker itself.
    static void join(Id id);
    // True while the worker `id` has not ended its work.
    static bool isRunning(Id id);
    // Asks long work to stop early (stopRequested() becomes true for good)
    // and waits for every worker, including those started meanwhile.
    static void joinAll();
    // True once the program is ending: long loops stop at their next turn.
    static bool stopRequested();

    WorkerThreads() = delete;
};

} // namespace quorvel
