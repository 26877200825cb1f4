#include "AudioTestSupport.h"
#include "platform/audio/AVAudioPlayer.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/core/MainThread.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

struct FinishRecorder : AVAudioPlayerDelegate {
    void audioPlayerDidFinishPlaying(AVAudioPlayer* p, bool ok) override {
        ++calls;
        successfully = ok;
        onMain = isMainThread();
        player = p;
        // The screen drops its player here.
        if (drop) drop();
    }
    int calls = 0;
    bool successfully = false;
    bool onMain = false;
    AVAudioPlayer* player = nullptr;
    std::function<void()> drop;
};

// An AAC ringtone as the exporter stores it: MPEG-4, mono, 44,100 Hz.
QString makeRingtone(const QString& folder, double seconds) {
    const QString path = folder + QStringLiteral("/Bells-1.m4r");
    const test::ToolResult r = test::runTool(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("sine=frequency=660:sample_rate=44100:duration=%1").arg(seconds), QStringLiteral("-c:a"),
         QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("128k"), QStringLiteral("-f"),
         QStringLiteral("ipod"), QStringLiteral("-y"), path});
    return r.exitCode == 0 ? path : QString();
}

} // namespace

TEST(AVAudioPlayer, PlaysAStoredRingtoneToTheEndAndTellsItsDelegateOnce) {
    test::AudioDriver driver;
    const QString path = makeRingtone(driver.documents(), 1.5);
    ASSERT_FALSE(path.isEmpty());

    NSError error;
    std::shared_ptr<AVAudioPlayer> player = AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(path), &error);
    ASSERT_TRUE(player) << error.localizedDescription.toStdString();
    EXPECT_EQ(player->rate(), 1.0f);
    FinishRecorder delegate;
    AVAudioPlayer* raw = player.get();
    delegate.drop = [&] { player.reset(); };
    player->setDelegate(&delegate);
    EXPECT_FALSE(player->isPlaying());
    ASSERT_TRUE(player->play());
    EXPECT_TRUE(player->isPlaying());
    ASSERT_TRUE(test::waitUntil([&] { return delegate.calls > 0; }, 10000));
    test::waitUntil([] { return false; }, 300);
    EXPECT_EQ(delegate.calls, 1);
    EXPECT_TRUE(delegate.successfully);
    EXPECT_TRUE(delegate.onMain);
    EXPECT_EQ(delegate.player, raw);
    EXPECT_FALSE(player) << "the delegate dropped the player";

    // What was heard lasts as long as ffprobe says the file does.
    const std::vector<float> out = driver.takeOutput();
    const long first = test::firstAbove(out, 1e-3f);
    long last = -1;
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        if (std::fabs(out[i]) > 1e-3f) last = long(i / 2);
    ASSERT_GE(first, 0);
    const double heard = double(last - first + 1) / 44100;
    EXPECT_NEAR(heard, test::probeDuration(path), 0.03);
}

TEST(AVAudioPlayer, StopKeepsThePlaceAndAFinishedPlayerStartsAgainFromTheBeginning) {
    test::AudioDriver driver("dummy");
    const QString path = driver.documents() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(test::writeWav16(path, test::liftedTone(0.5), 44100, 1));
    NSError error;
    auto player = AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(path), &error);
    ASSERT_TRUE(player);
    FinishRecorder delegate;
    player->setDelegate(&delegate);
    ASSERT_TRUE(player->play());
    ASSERT_TRUE(test::waitUntil([&] { return player->currentTime() >= 0.2; }, 10000));
    player->stop();
    EXPECT_FALSE(player->isPlaying());
    const double at = player->currentTime();
    test::waitUntil([] { return false; }, 200);
    EXPECT_EQ(player->currentTime(), at);
    EXPECT_EQ(delegate.calls, 0) << "stopping is not finishing";

    ASSERT_TRUE(player->play());
    ASSERT_TRUE(test::waitUntil([&] { return delegate.calls == 1; }, 10000));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_NEAR(player->currentTime(), 0.5, 1e-4);
    ASSERT_TRUE(player->play());
    EXPECT_LT(player->currentTime(), 0.1);
    ASSERT_TRUE(test::waitUntil([&] { return delegate.calls == 2; }, 10000));
}

TEST(AVAudioPlayer, AMissingOrUnreadableFileGivesNoPlayerAndAnError) {
    test::AudioDriver driver("dummy");
    NSError error;
    const QString missing = driver.documents() + QStringLiteral("/Gone-3.m4r");
    EXPECT_FALSE(AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(missing), &error));
    EXPECT_EQ(error.domain, QStringLiteral("NSOSStatusErrorDomain"));
    EXPECT_EQ(error.code, kAudio_FileNotFoundError);
    EXPECT_TRUE(error.description().contains(QStringLiteral("Gone-3.m4r"))) << error.description().toStdString();

    const QString text = driver.documents() + QStringLiteral("/Notes-1.m4r");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    error = {};
    EXPECT_FALSE(AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(text), &error));
    EXPECT_NE(error.code, 0);
    EXPECT_TRUE(error.localizedDescription.contains(QStringLiteral("Notes-1.m4r")));
}

TEST(AVAudioPlayer, WithoutAnyAudioDeviceItStillPlaysToTheEnd) {
    test::AudioDriver driver("no-such-driver");
    const QString path = driver.documents() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(test::writeWav16(path, test::liftedTone(0.3), 44100, 1));
    NSError error;
    auto player = AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(path), &error);
    ASSERT_TRUE(player);
    FinishRecorder delegate;
    player->setDelegate(&delegate);
    ASSERT_TRUE(player->play());
    ASSERT_TRUE(test::waitUntil([&] { return delegate.calls == 1; }, 10000));
    EXPECT_TRUE(delegate.successfully);
    EXPECT_FALSE(AVAudioSession::sharedInstance().inputIsAvailable());
}
