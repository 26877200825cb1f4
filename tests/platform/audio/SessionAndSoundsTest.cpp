#include "AudioTestSupport.h"
#include "platform/audio/AVPlayer.h"
#include "platform/audio/AudioServices.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/Paths.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {
std::vector<int16_t> wavSamples(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll().mid(44);
    std::vector<int16_t> s(size_t(bytes.size()) / 2);
    std::memcpy(s.data(), bytes.constData(), s.size() * 2);
    return s;
}
} // namespace

TEST(AVAudioSession, KnownCategoriesAreTakenAndOthersAreAnErrorWithDomainCodeAndText) {
    AVAudioSession& session = AVAudioSession::sharedInstance();
    NSError error;
    EXPECT_TRUE(session.setCategory(AVAudioSessionCategoryPlayback, &error));
    EXPECT_EQ(session.category(), AVAudioSessionCategoryPlayback);
    EXPECT_TRUE(session.setCategory(AVAudioSessionCategoryRecord, &error));
    EXPECT_FALSE(session.setCategory(QStringLiteral("Loud"), &error));
    EXPECT_EQ(session.category(), AVAudioSessionCategoryRecord);
    EXPECT_EQ(error.domain, QStringLiteral("NSOSStatusErrorDomain"));
    EXPECT_NE(error.code, 0);
    EXPECT_TRUE(error.userInfo.value(QStringLiteral("NSLocalizedDescription")).toString().contains(QStringLiteral("Loud")));
}

TEST(AVAudioSession, CannotBeDeactivatedWhileSoundPlays) {
    test::AudioDriver driver("dummy");
    const QString path = driver.documents() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(test::writeWav16(path, test::liftedTone(2.0), 44100, 1));
    AVPlayer player(AVPlayerItem::playerItemWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(path))));
    AVAudioSession& session = AVAudioSession::sharedInstance();
    ASSERT_TRUE(session.setActive(true, nullptr));
    player.play();
    NSError error;
    EXPECT_FALSE(session.setActive(false, &error));
    EXPECT_EQ(error.code, AVAudioSessionErrorCodeIsBusy);
    player.pause();
    EXPECT_TRUE(session.setActive(false, &error));
    // Playing again opens the device again.
    player.play();
    EXPECT_EQ(player.rate(), 1.0f);
    player.pause();
}

TEST(SystemSounds, TheTickInTheResourcesIsWhatItsGeneratorMakes) {
    test::TempHome home;
    const QString made = home.path() + QStringLiteral("/tick.wav");
    const test::ToolResult r = test::runTool(QStringLiteral(QUORVEL_TICK_TOOL), {made});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile a(made), b(Paths::resourcePath(QStringLiteral("tick.wav")));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll()) << "regenerate resources/tick.wav with quorvel-tick-sound";
    EXPECT_EQ(test::probeStreamField(made, QStringLiteral("channels")), QStringLiteral("1"));
    EXPECT_EQ(test::probeStreamField(made, QStringLiteral("sample_rate")), QStringLiteral("44100"));
    EXPECT_LT(test::probeDuration(made), 0.1);
}

TEST(SystemSounds, TheTickIsMixedOverWhatPlays) {
    test::AudioDriver driver;
    // A steady quarter: the tick shows as the difference from it.
    const QString path = driver.documents() + QStringLiteral("/steady.wav");
    ASSERT_TRUE(test::writeWav16(path, std::vector<int16_t>(44100, 8192), 44100, 1));
    SystemSoundID tick = 0;
    const QString tickPath = Paths::resourcePath(QStringLiteral("tick.wav"));
    ASSERT_EQ(AudioServicesCreateSystemSoundID(QUrl::fromLocalFile(tickPath), &tick), noErr);
    auto item = AVPlayerItem::playerItemWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(path)));
    AVPlayer player(item);
    int ends = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        AVPlayerItemDidPlayToEndTimeNotification, item.get(), [&](const QString&, const void*) { ++ends; });
    player.play();
    ASSERT_TRUE(test::waitUntil([&] { return CMTimeGetSeconds(player.currentTime()) > 0.3; }, 10000));
    AudioServicesPlayAlertSound(tick);
    ASSERT_TRUE(test::waitUntil([&] { return ends == 1; }, 10000));
    NotificationCenter::defaultCenter().removeObserver(token);

    const std::vector<float> out = driver.takeOutput();
    const std::vector<int16_t> tickSamples = wavSamples(tickPath);
    ASSERT_EQ(tickSamples.size(), 1764u);
    size_t t0 = 0;
    while (tickSamples[t0] == 0) ++t0;
    // First frame (after the steady sound began) that is not the steady value.
    const long begin = test::firstAbove(out, 0.2f);
    ASSERT_GE(begin, 0);
    size_t at = size_t(begin);
    while (at * 2 < out.size() && std::fabs(out[at * 2] - 0.25f) < 1e-6f) ++at;
    ASSERT_LT((at + tickSamples.size()) * 2, out.size());
    for (size_t k = t0; k < tickSamples.size(); ++k) {
        ASSERT_NEAR(out[(at + k - t0) * 2], 0.25f + test::asFloat(tickSamples[k]), 1e-5) << "tick sample " << k;
        ASSERT_NEAR(out[(at + k - t0) * 2 + 1], 0.25f + test::asFloat(tickSamples[k]), 1e-5) << "tick sample " << k;
    }
    EXPECT_EQ(AudioServicesDisposeSystemSoundID(tick), noErr);
    EXPECT_NE(AudioServicesDisposeSystemSoundID(tick), noErr);
}

TEST(SystemSounds, FilesThatAreMissingOrNoSoundAreRefused) {
    test::TempHome home;
    SystemSoundID id = 0;
    EXPECT_EQ(AudioServicesCreateSystemSoundID(QUrl::fromLocalFile(home.path() + QStringLiteral("/none.wav")), &id),
              kAudio_FileNotFoundError);
    const QString text = home.path() + QStringLiteral("/text.wav");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2000, 'x'));
    f.close();
    EXPECT_NE(AudioServicesCreateSystemSoundID(QUrl::fromLocalFile(text), &id), noErr);
    // Playing an unknown sound does nothing.
    AudioServicesPlaySystemSound(12345);
    AudioServicesPlayAlertSound(kSystemSoundID_Vibrate);
}
