// Every test program runs inside a Qt application object, so that work
// handed to the main thread runs when a test pumps the event loop.
#include "TestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    quorvel::test::runAsLockHolderIfAsked();
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
