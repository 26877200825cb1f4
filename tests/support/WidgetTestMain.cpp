// Widget tests run inside a QApplication (QT_QPA_PLATFORM=offscreen is set by CTest).
#include "LeakSuppressions.h"
#include <QApplication>
#include <gtest/gtest.h>

QUORVEL_LEAK_SUPPRESSIONS

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
