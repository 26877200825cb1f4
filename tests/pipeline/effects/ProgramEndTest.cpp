// The program ends (or its window closes) while an effects run, an asset
// load and a platform export are still going: every worker is stopped and
// joined before the program is gone, nothing touches what was destroyed, and
// no half-written file is left behind.
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioEffectsHelper.h"
#include "platform/core/Paths.h"
#include "platform/media/AVAssetExportSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {
struct Nobody : AudioEffectsHelperDelegate {
    void effectsDelegateDidFinishWithURL(const QUrl&) override { ADD_FAILURE() << "a gone delegate was called"; }
    void effectsDelegateDidFail(const QString&) override { ADD_FAILURE() << "a gone delegate was called"; }
};
} // namespace

// Run in a child process by the test below; the program ends when it returns.
TEST(ProgramEnd, ChildLeavesWithItsWorkRunning) {
    const QByteArray home = qgetenv("QUORVEL_PROGRAM_END_HOME");
    if (home.isEmpty()) GTEST_SKIP() << "runs in a child process";
    qputenv("QUORVEL_HOME", home);
    const QString in = Paths::documentPath(QStringLiteral("in.wav"));
    ASSERT_TRUE(QFileInfo(in).isFile());
    {
        Nobody delegate;
        AudioEffectsHelper helper(QUrl::fromLocalFile(in));
        helper.setDelegate(&delegate);
        auto tune = std::make_shared<Ringtune>(QUrl::fromLocalFile(in), QStringLiteral("t"), QStringLiteral("a"), QImage());
        tune->setSpeed(2);
        helper.startProcess(tune);
    } // the editor and its effects object go while the run is going
    auto asset = AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(in));
    asset->loadValuesAsynchronouslyForKeys({QStringLiteral("tracks")}, [] {});
    auto session = AVAssetExportSession::exportSessionWithAsset(asset, AVAssetExportPresetAppleM4A);
    ASSERT_NE(session, nullptr);
    session->setOutputURL(QUrl::fromLocalFile(Paths::documentPath(QStringLiteral("Out.m4r"))));
    session->setOutputFileType(AVFileTypeAppleM4A);
    session->addStatusObserver([](AVAssetExportSession*) {});
    session->exportAsynchronouslyWithCompletionHandler([] {});
    // Both files are being written when the program ends.
    const QString processed = Paths::documentPath(QStringLiteral(".processedEffect.wav"));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(processed).size() > 0 && session->progress() > 0.0f; }, 60000));
}

TEST(ProgramEnd, WorkersAreStoppedAndJoinedAndLeaveNoHalfFiles) {
    TempHome home;
    // Long enough that the two-core export cannot finish before the program ends.
    ASSERT_TRUE(writeWav16(home.documents() + QStringLiteral("/in.wav"), sine(440, 240.0), 44100, 1));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_PROGRAM_END_HOME"), home.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=ProgramEnd.ChildLeavesWithItsWorkRunning")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString log = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << log.toStdString();
    EXPECT_TRUE(log.contains(QLatin1String("[  PASSED  ] 1 test"))) << log.toStdString();
    EXPECT_EQ(QDir(home.documents()).entryList(QDir::Files | QDir::Hidden).join(QLatin1Char(' ')).toStdString(), "in.wav")
        << "a worker left a half-written file: " << log.toStdString();
}
