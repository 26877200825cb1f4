#include "ui/recorder/RecorderViewWidget.h"
#include "TestSupport.h"
#include "platform/audio/AVAudioSession.h"
#include "platform/core/LocalizedStrings.h"

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {
struct Delegate : RecorderViewControllerDelegate {
    void recorderViewControllerDidFinish(const QUrl& recording) override { results << recording; }
    QList<QUrl> results;
};

class RecorderView : public ::testing::Test {
protected:
    void TearDown() override {
        AVAudioSession::sharedInstance().setActive(false, nullptr);
        qputenv("SDL_AUDIODRIVER", "dummy");
    }
    test::TempHome home;
};
} // namespace

TEST_F(RecorderView, RecordingTurnsTheLabelRedAndRunsTheLcdTime) {
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", (home.path() + QStringLiteral("/out.raw")).toUtf8());
    qputenv("SDL_DISKAUDIOFILEIN", (home.path() + QStringLiteral("/in.raw")).toUtf8());
    ASSERT_TRUE(test::writeWav16(home.path() + QStringLiteral("/in.raw"), test::sine(440, 2.0), 44100, 1));
    RecorderViewWidget widget;
    Delegate delegate;
    widget.controller().setDelegate(&delegate);
    widget.show();
    auto* time = widget.findChild<QLabel*>(QStringLiteral("displayTime"));
    auto* label = widget.findChild<QLabel*>(QStringLiteral("displayLabel"));
    auto* button = widget.findChild<QPushButton*>(QStringLiteral("recordButton"));
    ASSERT_TRUE(time && label && button);
    EXPECT_TRUE(QFontInfo(time->font()).family().startsWith(QStringLiteral("DSEG7")))
        << QFontInfo(time->font()).family().toStdString();
    EXPECT_EQ(time->font().pixelSize(), 17);
    EXPECT_EQ(button->property("image").toString(), QStringLiteral("bigRecordRed.png"));
    EXPECT_FALSE(button->icon().isNull());

    button->click();
    EXPECT_EQ(button->property("image").toString(), QStringLiteral("bigStopRed.png"));
    ASSERT_TRUE(test::waitUntil([&] { return label->property("red").toBool(); }, 15000));
    EXPECT_EQ(label->text(), NSLocalizedString(QStringLiteral("recording")));
    test::waitUntil([&] { return time->text() >= QStringLiteral("00:00.8"); }, 5000);
    if (const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR"); !dir.isEmpty())
        widget.grab().save(dir + QStringLiteral("/recorder-recording.png"));
    button->click();
    EXPECT_EQ(button->property("image").toString(), QStringLiteral("bigRecordRed.png"));
    widget.findChild<QPushButton*>(QStringLiteral("doneButton"))->click();
    ASSERT_EQ(delegate.results.size(), 1);
    EXPECT_FALSE(delegate.results[0].isEmpty());
}
