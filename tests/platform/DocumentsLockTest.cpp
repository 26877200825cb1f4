// The lock between programs on one documents folder: one holder at a time,
// freed by the kernel when a holder dies, and a clear reason when the lock
// file cannot be had at all.
#include "platform/core/DocumentsLock.h"
#include "TestSupport.h"
#include "platform/core/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace std::chrono_literals;

TEST(DocumentsLock, OneHolderAtATimeAndAWaiterIsToldOnce) {
    test::TempHome home;
    DocumentsLock first(DocumentsLock::kExportLockName), second(DocumentsLock::kExportLockName);
    EXPECT_EQ(first.path(), Paths::documentPath(QStringLiteral(".Export.lock")));
    ASSERT_EQ(first.tryLock(), DocumentsLock::Result::Locked);
    EXPECT_EQ(first.tryLock(), DocumentsLock::Result::Locked); // the holder asking again
    EXPECT_EQ(second.tryLock(), DocumentsLock::Result::Busy);
    int told = 0;
    EXPECT_EQ(second.lock(150ms, [&] { ++told; }), DocumentsLock::Result::Busy);
    EXPECT_EQ(told, 1);
    EXPECT_TRUE(second.errorString().contains(QStringLiteral("held by another process")));
    // Another name is another lock.
    DocumentsLock startUp(DocumentsLock::kStartUpLockName);
    EXPECT_EQ(startUp.tryLock(), DocumentsLock::Result::Locked);
    first.unlock();
    EXPECT_FALSE(first.isLocked());
    EXPECT_EQ(second.lock(1s, [&] { ++told; }), DocumentsLock::Result::Locked);
    EXPECT_EQ(told, 1); // free at once: nobody is told to wait
    // The file stays for the next holder; only hidden names are used.
    EXPECT_TRUE(QFileInfo::exists(first.path()));
}

TEST(DocumentsLock, AHolderThatDiesLeavesNoLockBehind) {
    test::TempHome home;
    DocumentsLock mine(DocumentsLock::kStartUpLockName);
    test::LockHolder other(DocumentsLock::kStartUpLockName); // another program
    ASSERT_TRUE(other.isHolding());
    EXPECT_EQ(mine.tryLock(), DocumentsLock::Result::Busy);
    // Killed outright, it unlocks nothing itself: the kernel does.
    other.kill();
    EXPECT_EQ(mine.lock(10s), DocumentsLock::Result::Locked);
    test::LockHolder late(DocumentsLock::kStartUpLockName);
    EXPECT_FALSE(late.isHolding());
}

TEST(DocumentsLock, ALockFileThatCannotBeOpenedSaysWhy) {
    test::TempHome home;
    ASSERT_TRUE(QDir(Paths::documentsDirectory()).mkdir(QStringLiteral(".Export.lock")));
    DocumentsLock lock(DocumentsLock::kExportLockName);
    EXPECT_EQ(lock.tryLock(), DocumentsLock::Result::Failed);
    EXPECT_EQ(lock.lock(1s), DocumentsLock::Result::Failed);
    EXPECT_TRUE(lock.errorString().contains(lock.path()));
    EXPECT_TRUE(lock.errorString().contains(QString::fromLocal8Bit(std::strerror(EISDIR)))) << lock.errorString().toStdString();
    EXPECT_FALSE(lock.isLocked());
}
