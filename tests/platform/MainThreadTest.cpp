// Work handed to the main thread for a receiver: it runs there, in the order
// it was posted, and never once its receiver is gone.
#include "platform/core/MainThread.h"
#include "TestSupport.h"
#include "platform/core/WorkerThreads.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace quorvel;
using namespace quorvel::test;

namespace {
// Runs the main thread's queue up to everything posted before this call.
void drainMainThread() {
    bool reached = false;
    ASSERT_TRUE(performOnMainThread([&] { reached = true; }));
    ASSERT_TRUE(waitUntil([&] { return reached; }, 10000));
}
} // namespace

TEST(PostToMainThread, DeliveryToAReceiverDestroyedBeforeItsTurnIsDropped) {
    auto* receiver = new QObject;
    QObject survivor;
    bool toGone = false, toSurvivor = false;
    EXPECT_TRUE(postToMainThread(receiver, [&] { toGone = true; }));
    EXPECT_TRUE(postToMainThread(&survivor, [&] { toSurvivor = true; }));
    delete receiver;
    drainMainThread();
    EXPECT_FALSE(toGone) << "work ran for a destroyed receiver";
    EXPECT_TRUE(toSurvivor);

    QPointer<QObject> gone(new QObject);
    delete gone.data();
    bool ran = false;
    EXPECT_FALSE(postToMainThread(gone, [&] { ran = true; })) << "a receiver already gone takes no work";
    drainMainThread();
    EXPECT_FALSE(ran);
}

TEST(PostToMainThread, WorkFromAWorkerRunsOnTheMainThreadInOrder) {
    QObject receiver;
    QPointer<QObject> guard(&receiver);
    std::vector<int> order;
    std::vector<QThread*> threads;
    std::atomic<bool> posted{false};
    WorkerThreads::join(WorkerThreads::start([&, guard] {
        for (int i = 0; i < 5; ++i)
            posted = postToMainThread(guard, [&, i] {
                order.push_back(i);
                threads.push_back(QThread::currentThread());
            });
    }));
    EXPECT_TRUE(posted.load());
    EXPECT_TRUE(order.empty()) << "work ran before the main thread's loop did";
    drainMainThread();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    for (QThread* t : threads) EXPECT_EQ(t, QCoreApplication::instance()->thread());
}

TEST(PostToMainThread, ReceiversDestroyedWhileWorkersPostNeverSeeTheirWork) {
    // Workers post while the main thread destroys the receivers; a delivery
    // that ran after its receiver's end would be counted (and, in the
    // sanitized build, be a use after free).
    constexpr int kReceivers = 200;
    std::vector<std::unique_ptr<QObject>> receivers;
    std::vector<QPointer<QObject>> guards;
    for (int i = 0; i < kReceivers; ++i) {
        receivers.push_back(std::make_unique<QObject>());
        guards.emplace_back(receivers.back().get());
    }
    auto destroyed = std::make_shared<std::vector<bool>>(kReceivers, false);
    int ranAfterEnd = 0, ran = 0;
    auto worker = WorkerThreads::start([&, guards, destroyed] {
        for (int round = 0; round < 20; ++round)
            for (int i = 0; i < kReceivers; ++i)
                postToMainThread(guards[size_t(i)], [&, i, destroyed] {
                    ++ran;
                    if ((*destroyed)[size_t(i)]) ++ranAfterEnd;
                });
    });
    for (int i = 0; i < kReceivers; i += 2) {
        (*destroyed)[size_t(i)] = true;
        receivers[size_t(i)].reset();
        QCoreApplication::processEvents();
    }
    WorkerThreads::join(worker);
    drainMainThread();
    EXPECT_EQ(ranAfterEnd, 0);
    EXPECT_GE(ran, kReceivers / 2 * 20) << "work for the receivers still there was lost";
}
