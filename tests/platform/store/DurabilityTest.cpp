// A process killed with SIGKILL in the middle of a save leaves a store that
// opens and holds every row of the last completed save.
#include "StoreFixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

constexpr int kRowsPerSave = 40;

// When started as the saving child (see below), this runs before main: it
// saves batches in a loop and reports each completed save on stdout until it
// is killed.
int runSavingChild() {
    const char* path = std::getenv("QUORVEL_STORE_SAVING_CHILD");
    if (!path) return 0;
    NSError error;
    auto model = NSManagedObjectModel::mergedModelFromDirectory(PersistentStack::modelDirectory(), &error);
    auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model);
    if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, {}, QUrl::fromLocalFile(QString::fromUtf8(path)),
                                                 {}, &error)) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(error.description()));
        std::_Exit(2);
    }
    NSManagedObjectContext context;
    context.setPersistentStoreCoordinator(coordinator);
    const QByteArray artwork(16384, 'a');
    for (int save = 1; save < 100000; ++save) {
        for (int i = 0; i < kRowsPerSave; ++i) {
            auto o = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), &context);
            o->setValue(save, QStringLiteral("counter"));
            o->setValue(artwork, QStringLiteral("image"));
            o->setValue(QStringLiteral("child"), QStringLiteral("title"));
        }
        if (!context.save(&error)) std::_Exit(3);
        std::printf("%d\n", save);
        std::fflush(stdout);
    }
    std::_Exit(0);
}
const int savingChild = runSavingChild();

} // namespace

TEST_F(StoreTest, KilledMidSaveKeepsEveryCompletedSave) {
    (void)savingChild;
    context.reset();
    std::mt19937 random(12345);
    int lastReported = 0;
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUORVEL_STORE_SAVING_CHILD"), path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_list_tests")});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray out;
        // Let it complete a few saves, then kill it at an arbitrary moment.
        while (out.count('\n') < 3 && child.state() == QProcess::Running) {
            child.waitForReadyRead(100);
            out += child.readAllStandardOutput();
        }
        QThread::usleep(std::uniform_int_distribution<int>(0, 30000)(random));
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardError().toStdString();
        out += child.readAllStandardOutput();
        const QList<QByteArray> lines = out.trimmed().split('\n');
        ASSERT_FALSE(lines.isEmpty());
        const int saves = lines.back().toInt();
        ASSERT_GE(saves, 3);

        // The store opens, and holds whole saves only: every reported one,
        // at most the one that was committing when the kill came.
        context = open();
        ASSERT_TRUE(context) << lastError.description().toStdString();
        auto rows = fetch();
        const int expected = lastReported + saves * kRowsPerSave;
        EXPECT_GE(int(rows.size()), expected);
        EXPECT_LE(int(rows.size()), expected + kRowsPerSave);
        EXPECT_EQ(rows.size() % kRowsPerSave, 0u);
        EXPECT_EQ(sqlite(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        EXPECT_EQ(sqlite(path, QStringLiteral("SELECT count(*) FROM Ringtone LEFT JOIN Ringtone_image USING (Z_PK) WHERE length(image) IS NOT 16384")),
                  QStringLiteral("0"));
        lastReported = int(rows.size());
        context.reset();
    }
}
