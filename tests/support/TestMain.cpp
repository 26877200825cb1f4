// Every test program runs inside a Qt application object, so that work
// handed to the main thread runs when a test pumps the event loop.
// QUORVEL_TEST_WITHOUT_APP=1 runs it without one (child processes of tests
// that check what happens then).
#include "LeakSuppressions.h"
#include "TestSupport.h"
#include "platform/core/WorkerThreads.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <optional>

QUORVEL_LEAK_SUPPRESSIONS

int main(int argc, char** argv) {
    quorvel::test::runAsLockHolderIfAsked();
    ::testing::InitGoogleTest(&argc, argv);
    std::optional<QCoreApplication> app;
    if (qEnvironmentVariable("QUORVEL_TEST_WITHOUT_APP") != QLatin1String("1")) app.emplace(argc, argv);
    const int result = RUN_ALL_TESTS();
    // No worker outlives the program, nor the application object it posts to.
    quorvel::WorkerThreads::joinAll();
    return result;
}
