// The ways out of a stored ringtone, on a session bus of this test's own
// (dbus-run-session) with fake desktop services behind it, and a fake
// "kdeconnect-cli" on PATH.
#include "screens/RingtoneWaysOut.h"
#include "FakeDesktop.h"
#include "TestSupport.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DesktopFileManager.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class WaysOut : public ::testing::Test {
protected:
    void SetUp() override {
        oldHome_ = qgetenv("HOME");
        qputenv("HOME", fakeHome_.path().toLocal8Bit());
        UserDefaults::standardUserDefaults().reload();
        ringtone_ = home_.documents() + QStringLiteral("/Bells-1.m4r");
        QDir().mkpath(home_.documents());
        const ToolResult made = runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=f=660:d=4", "-ac", "1",
                                                   "-c:a", "aac", "-f", "ipod", ringtone_});
        ASSERT_EQ(made.exitCode, 0);
        QDir(fakeHome_.path()).mkpath("Ringtones");
    }
    void TearDown() override { qputenv("HOME", oldHome_); }
    bool waitForStatus(RingtoneWaysOut& w, const QString& prefix) {
        return waitUntil([&] { return w.statusText().startsWith(prefix); }, 20000);
    }

    TempHome home_;
    QTemporaryDir fakeHome_;
    QByteArray oldHome_;
    QString ringtone_;
};

} // namespace

TEST_F(WaysOut, SaveACopySaysWhereAndRemembersTheFolder) {
    RingtoneWaysOut w;
    w.setRingtone(ringtone_, {QStringLiteral("Bells"), QStringLiteral("Band"), {}});
    EXPECT_EQ(w.proposedCopyPath(), QDir::homePath() + QStringLiteral("/Bells-1.m4r"));
    const QString folder = fakeHome_.path() + QStringLiteral("/Ringtones");
    w.saveCopy(folder + QStringLiteral("/Bells-1.m4r"), RingtoneCopyFormat::M4r);
    EXPECT_TRUE(w.isSaving());
    ASSERT_TRUE(waitForStatus(w, "Saved to"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Saved to ~/Ringtones/Bells-1.m4r"));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/Bells-1.m4r")));
    EXPECT_EQ(w.proposedCopyPath(), folder + QStringLiteral("/Bells-1.m4r"));

    // A name without the format's extension gets it.
    w.saveCopy(folder + QStringLiteral("/For Android"), RingtoneCopyFormat::Ogg);
    ASSERT_TRUE(waitForStatus(w, "Saved to"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Saved to ~/Ringtones/For Android.ogg"));
    EXPECT_EQ(probeStreamField(folder + QStringLiteral("/For Android.ogg"), "codec_name"), "opus");
}

TEST_F(WaysOut, FailuresAreSaidInWords) {
    RingtoneWaysOut w;
    w.setRingtone(ringtone_, {});
    w.saveCopy(fakeHome_.path() + QStringLiteral("/gone/x.m4a"), RingtoneCopyFormat::M4a);
    ASSERT_TRUE(waitForStatus(w, "Not saved"));
    EXPECT_TRUE(w.statusText().contains("does not exist"));

    // The extension this object added never lands on someone else's file.
    QFile mine(fakeHome_.path() + QStringLiteral("/song.ogg"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("mine");
    mine.close();
    w.saveCopy(fakeHome_.path() + QStringLiteral("/song"), RingtoneCopyFormat::Ogg);
    ASSERT_TRUE(waitForStatus(w, "Not saved"));
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), QByteArray("mine"));

    QFile::remove(ringtone_);
    w.showInFolder();
    EXPECT_EQ(w.statusText(), QStringLiteral("The ringtone's file is missing."));
    EXPECT_EQ(w.dragData(), nullptr);
}

TEST_F(WaysOut, CopyDestinationsForTheCommandLine) {
    std::optional<RingtoneCopyFormat> format;
    const QString folder = fakeHome_.path();
    EXPECT_EQ(RingtoneWaysOut::copyDestination(folder, "Bells-1.m4r", &format), folder + "/Bells-1.m4r");
    EXPECT_EQ(format, RingtoneCopyFormat::M4r);
    format = RingtoneCopyFormat::Ogg;
    EXPECT_EQ(RingtoneWaysOut::copyDestination(folder, "Bells-1.m4r", &format), folder + "/Bells-1.ogg");
    format.reset();
    EXPECT_EQ(RingtoneWaysOut::copyDestination(folder + "/x.M4A", "Bells-1.m4r", &format), folder + "/x.M4A");
    EXPECT_EQ(format, RingtoneCopyFormat::M4a);
    format = RingtoneCopyFormat::Ogg;
    EXPECT_EQ(RingtoneWaysOut::copyDestination(folder + "/x.m4a", "Bells-1.m4r", &format), folder + "/x.m4a.ogg");
}

TEST_F(WaysOut, ShowInFolderAsksTheFileManager) {
    FakeFileManager fake;
    FakeService service(&fake, DesktopFileManager::kService, DesktopFileManager::kPath);
    ASSERT_TRUE(service.isRegistered());
    RingtoneWaysOut w;
    w.setRingtone(ringtone_, {});
    w.showInFolder();
    ASSERT_TRUE(waitForStatus(w, "Shown"));
    ASSERT_EQ(fake.shownItems.size(), 1);
    EXPECT_EQ(fake.shownItems.front(), QStringList{QUrl::fromLocalFile(ringtone_).toString()});
}

TEST_F(WaysOut, ShowInFolderWithoutAFileManagerSaysSo) {
    RingtoneWaysOut w;
    w.setRingtone(ringtone_, {});
    w.showInFolder();
    ASSERT_TRUE(waitForStatus(w, "No file manager"));
}

TEST_F(WaysOut, SendToPhoneOnlyWithAReachablePhone) {
    {
        FakeKdeConnect none({});
        RingtoneWaysOut w;
        w.setRingtone(ringtone_, {});
        waitUntil([&] { return !none.calls().isEmpty(); }, 10000);
        waitUntil([] { return false; }, 200);
        EXPECT_FALSE(w.isSendToPhoneShown());
    }
    FakeKdeConnect fake({QStringLiteral("a1b2 Pixel 7")});
    RingtoneWaysOut w;
    w.setRingtone(ringtone_, {});
    ASSERT_TRUE(waitUntil([&] { return w.isSendToPhoneShown(); }, 10000));
    w.sendToPhone();
    ASSERT_TRUE(waitForStatus(w, "Sent to"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Sent to Pixel 7"));
    EXPECT_EQ(fake.calls().last(), QStringLiteral("--share %1 --device a1b2").arg(ringtone_));
}

TEST_F(WaysOut, AFailedSendSaysWhy) {
    FakeKdeConnect fake({QStringLiteral("a1b2 Pixel 7")}, true);
    RingtoneWaysOut w;
    w.setRingtone(ringtone_, {});
    ASSERT_TRUE(waitUntil([&] { return w.isSendToPhoneShown(); }, 10000));
    w.sendToPhone(QStringLiteral("a1b2"));
    ASSERT_TRUE(waitForStatus(w, "Not sent"));
    EXPECT_EQ(w.statusText(), QStringLiteral("Not sent to Pixel 7: error: device not reachable"));
}

TEST_F(WaysOut, TheDragCarriesTheFileAsAudioMp4) {
    RingtoneWaysOut w;
    w.setRingtone(ringtone_, {});
    std::unique_ptr<QMimeData> data(w.dragData());
    ASSERT_TRUE(data);
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_EQ(data->urls().front(), QUrl::fromLocalFile(ringtone_));
    QFile f(ringtone_);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(data->data("audio/mp4"), f.readAll());
}
