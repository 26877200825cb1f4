// The owner of the program's worker threads, and handing work to a main
// thread that is not there.
#include "platform/core/WorkerThreads.h"
#include "platform/core/MainThread.h"
#include "platform/core/WorkerGroup.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace quorvel;

namespace {

int threadCount() { return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()); }

// Runs one test of this program in a child process with `variable`=1 set.
void runChild(const QString& test, const char* variable) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(variable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + test});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString log = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << log.toStdString();
    EXPECT_TRUE(log.contains(QLatin1String("[  PASSED  ] 1 test"))) << log.toStdString();
}

} // namespace

TEST(WorkerThreads, JoinWaitsForTheWorkAndNeverForItself) {
    std::atomic<bool> done{false};
    const WorkerThreads::Id slow = WorkerThreads::start([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        done = true;
    });
    WorkerThreads::join(slow);
    EXPECT_TRUE(done.load());
    WorkerThreads::join(slow); // already joined: returns at once

    std::atomic<bool> selfJoined{false};
    std::atomic<WorkerThreads::Id> own{0};
    std::atomic<bool> go{false};
    const WorkerThreads::Id id = WorkerThreads::start([&] {
        while (!go) std::this_thread::yield();
        WorkerThreads::join(own.load()); // its own id: must not wait for itself
        selfJoined = true;
    });
    own = id;
    go = true;
    WorkerThreads::join(id);
    EXPECT_TRUE(selfJoined.load());
    EXPECT_FALSE(WorkerThreads::stopRequested());
}

TEST(WorkerGroup, JoinWaitsForEveryWorkerOfTheGroupAndThoseStartedMeanwhile) {
    std::atomic<int> ended{0};
    std::atomic<bool> release{false};
    WorkerThreads::Id first = 0;
    {
        WorkerGroup group;
        first = group.start([&] {
            while (!release) std::this_thread::yield();
            // Started while the owner already waits: waited for as well.
            group.start([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                ++ended;
            });
            ++ended;
        });
        EXPECT_TRUE(WorkerThreads::isRunning(first));
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            release = true;
        });
        group.join();
        releaser.join();
        EXPECT_EQ(ended.load(), 2);
        EXPECT_FALSE(WorkerThreads::isRunning(first));
        // A group joined once takes new work; its destructor waits for it.
        group.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            ++ended;
        });
    }
    EXPECT_EQ(ended.load(), 3);
}

// Run in a child process by the test below: joinAll ends the program's use of threads.
TEST(WorkerThreads, ChildJoinsEveryWorkerAtTheEnd) {
    if (qgetenv("QUORVEL_WORKERS_CHILD") != "1") GTEST_SKIP() << "runs in a child process";
    const int before = threadCount();
    std::atomic<int> stopped{0};
    auto untilTheEnd = [&] {
        while (!WorkerThreads::stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++stopped;
    };
    for (int i = 0; i < 3; ++i) {
        WorkerThreads::start([&, untilTheEnd] {
            WorkerThreads::start(untilTheEnd); // workers may start workers
            untilTheEnd();
        });
    }
    WorkerThreads::joinAll();
    EXPECT_TRUE(WorkerThreads::stopRequested());
    EXPECT_EQ(stopped.load(), 6) << "joinAll returned before every worker had ended";
    EXPECT_EQ(threadCount(), before) << "a worker thread outlived joinAll";
}

TEST(WorkerThreads, JoinAllStopsAndJoinsEveryWorker) { runChild(QStringLiteral("WorkerThreads.ChildJoinsEveryWorkerAtTheEnd"), "QUORVEL_WORKERS_CHILD"); }

// Run without an application object by the test below.
TEST(MainThread, ChildWithoutAnApplicationRefusesTheWork) {
    if (QCoreApplication::instance()) GTEST_SKIP() << "runs in a child process without an application object";
    std::atomic<bool> ran{false};
    EXPECT_FALSE(performOnMainThread([&] { ran = true; }));
    EXPECT_FALSE(ran.load()) << "main-thread work ran on the calling thread";
    std::atomic<bool> refused{false};
    WorkerThreads::join(WorkerThreads::start([&] { refused = !performOnMainThread([&] { ran = true; }); }));
    EXPECT_TRUE(refused.load());
    EXPECT_FALSE(ran.load()) << "main-thread work ran on a worker";
    EXPECT_FALSE(isMainThread());
}

TEST(MainThread, WithoutAnApplicationObjectWorkIsRefusedNotRunInPlace) {
    runChild(QStringLiteral("MainThread.ChildWithoutAnApplicationRefusesTheWork"), "QUORVEL_TEST_WITHOUT_APP");
}
