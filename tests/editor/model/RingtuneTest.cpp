#include "editor/Ringtune.h"
#include "TestSupport.h"
#include "platform/core/Paths.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {
Ringtune song(const QString& title, const QString& artist = QStringLiteral("Band")) {
    return Ringtune(QUrl(QStringLiteral("ipod-library://item/item.mp3?id=1")), title, artist, QImage());
}
} // namespace

TEST(Ringtune, ANewRingtuneHasTheDefaults) {
    Ringtune r = song(QStringLiteral("Song"));
    EXPECT_FLOAT_EQ(r.speed(), 1.0f);
    EXPECT_FLOAT_EQ(r.pitch(), 1.0f);
    EXPECT_FALSE(r.isRecorded());
    EXPECT_FALSE(r.isProcessed());
    EXPECT_TRUE(r.isMP4());
    EXPECT_FALSE(r.timeRange().isValid());
    EXPECT_FALSE(r.realTimeRange().isValid());
    EXPECT_EQ(r.audioMixer(), nullptr);
}

TEST(Ringtune, SpeedAndPitchControlsBecomeFactors) {
    Ringtune r = song(QStringLiteral("Song"));
    const float speeds[] = {0.5f, 0.70710677f, 1.0f, 1.4142135f, 2.0f};
    for (int v = -2; v <= 2; ++v) {
        r.setSpeed(float(v));
        EXPECT_EQ(r.speed(), speeds[v + 2]) << v;
    }
    const float pitches[] = {0.5f, 0.70710677f, 1.0f, 1.4142135f, 2.0f};
    for (int s = -12, i = 0; s <= 12; s += 6, ++i) {
        r.setPitch(float(s));
        EXPECT_EQ(r.pitch(), pitches[i]) << s;
    }
}

TEST(Ringtune, EffectiveRangeIsStoredOnlyWhenRecordedEqualsProcessed) {
    Ringtune r = song(QStringLiteral("Song"));
    const CMTimeRange stored{CMTimeMake(1000, 1000), CMTimeMake(3000, 1000)};
    r.setTimeRange(stored);
    EXPECT_TRUE(r.timeRange().isValid()); // song, not processed
    r.setProcessed(true);
    EXPECT_FALSE(r.timeRange().isValid()); // song, processed
    EXPECT_TRUE(r.realTimeRange().isValid());
    r.setRecorded(true);
    EXPECT_EQ(r.timeRange().start.value, 1000); // recording, processed
    r.setProcessed(false);
    EXPECT_FALSE(r.timeRange().isValid()); // recording, not processed
    EXPECT_EQ(r.duration().value, 3000);
}

TEST(Ringtune, FileNamesOfSongsAndRecordings) {
    EXPECT_EQ(song(QStringLiteral("Song")).fileName(), QStringLiteral("Song.m4r"));
    EXPECT_EQ(song(QStringLiteral("AC/DC: Live")).fileName(), QStringLiteral("AC/DC: Live.m4r"));

    Ringtune rec(QUrl::fromLocalFile(QStringLiteral("/tmp/.tmpRecorded.wav")), QStringLiteral("Rec"),
                 QStringLiteral("2012-05-01 10:20:30 +0000"), QImage());
    rec.setRecorded(true);
    EXPECT_EQ(rec.fileName(), QStringLiteral("Rec-2012-05-01 10_20_30.m4r"));
    rec.setArtist(QStringLiteral("a:/%#;@&?!\"'\\()zzzzz"));
    EXPECT_EQ(rec.fileName(), QStringLiteral("Rec-a______________zzzz.m4r"));
    rec.setArtist(QStringLiteral("short"));
    EXPECT_EQ(rec.fileName(), QStringLiteral("Rec-short.m4r"));
}

TEST(Ringtune, FilePathAlwaysNamesAFileDirectlyInsideTheDocuments) {
    test::TempHome home;
    const QString docs = Paths::documentsDirectory();
    for (const QString& title : {QStringLiteral("AC/DC"), QStringLiteral("../../etc/passwd"), QString(),
                                 QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a") + QChar(0) + "b",
                                 QStringLiteral("/"), QStringLiteral("Ünïcödé ♫")}) {
        const QString path = song(title).filePath();
        const QFileInfo info(path);
        EXPECT_EQ(info.absolutePath(), docs) << title.toStdString();
        EXPECT_FALSE(info.fileName().contains(QLatin1Char('/')));
        EXPECT_FALSE(info.fileName().contains(QChar(0)));
        EXPECT_TRUE(info.fileName().endsWith(QStringLiteral(".m4r")));
    }
    EXPECT_EQ(QFileInfo(song(QStringLiteral("AC/DC")).filePath()).fileName(), QStringLiteral("AC_DC.m4r"));
    EXPECT_EQ(QFileInfo(song(QString()).filePath()).fileName(), QStringLiteral("_.m4r"));
    EXPECT_EQ(QFileInfo(song(QStringLiteral("..")).filePath()).fileName(), QStringLiteral("_...m4r"));
    EXPECT_EQ(song(QStringLiteral("AC/DC")).fileName(), QStringLiteral("AC/DC.m4r")); // the title is kept
}
