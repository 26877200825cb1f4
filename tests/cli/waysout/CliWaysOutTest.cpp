// quorvel-cli make --normalize read back by ffmpeg's ebur128 filter, on a
// quiet and a loud song; quorvel-cli save in each format read back by
// ffprobe and exiftool.
#include "LoudnessSongs.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel::test;

namespace {

class CliWaysOut : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new QTemporaryDir;
        quiet = makeSongAtLoudness(media->path() + "/quiet.wav", -30.0, false);
        loud = makeSongAtLoudness(media->path() + "/loud.wav", -8.0, true);
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }
    ToolResult cli(const QStringList& args, bool hardwareAac = true) {
        return runTool(QStringLiteral(QUORVEL_CLI), args, 300000, cliEnvironment(home.path(), media->path(), hardwareAac));
    }
    QString make(const QString& song, const QStringList& extra = {}, bool hardwareAac = true) {
        const ToolResult r = cli(QStringList{"make", song, "--start", "3", "--length", "20", "--fade-in", "1.5",
                                             "--fade-out", "3"} + extra, hardwareAac);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return r.lastLine();
    }
    QString exif(const QString& path, const QString& tag) {
        return runTool("exiftool", {"-s3", "-" + tag, path}).out.trimmed();
    }

    static inline QTemporaryDir* media = nullptr;
    static inline QString quiet, loud;
    TempHome home;
};

} // namespace

TEST_F(CliWaysOut, NormalizeBringsQuietAndLoudSongsToMinus14Lufs) {
    ASSERT_FALSE(quiet.isEmpty());
    ASSERT_FALSE(loud.isEmpty());
    for (const QString& song : {quiet, loud}) {
        SCOPED_TRACE(song.toStdString());
        const QString out = make(song, {"--normalize"});
        ASSERT_TRUE(QFileInfo(out).isFile());
        const LoudnessReading r = readLoudness(out);
        std::printf("normalized %s: %.1f LUFS, true peak %.1f dBTP\n", qPrintable(QFileInfo(song).fileName()),
                    r.integratedLufs, r.truePeakDbtp);
        EXPECT_NEAR(r.integratedLufs, -14.0, 0.5);
        EXPECT_LE(r.truePeakDbtp, -1.0);
    }
}

TEST_F(CliWaysOut, NormalizeWithSpeedAndPitchChangedOnBothWriters) {
    // Without a hardware encoder the AAC writer encodes the processed WAV: the
    // gain must reach that road as well.
    for (const bool hardwareAac : {true, false}) {
        SCOPED_TRACE(hardwareAac ? "export session" : "AAC writer");
        const QString out = make(quiet, {"--normalize", "--speed", "1", "--pitch", "6"}, hardwareAac);
        const LoudnessReading r = readLoudness(out);
        EXPECT_NEAR(r.integratedLufs, -14.0, 0.5);
        EXPECT_LE(r.truePeakDbtp, -1.0);
    }
}

TEST_F(CliWaysOut, NormalizeOnTheAacWritersPlainRoad) {
    const LoudnessReading r = readLoudness(make(loud, {"--normalize"}, false));
    EXPECT_NEAR(r.integratedLufs, -14.0, 0.5);
    EXPECT_LE(r.truePeakDbtp, -1.0);
}

TEST_F(CliWaysOut, WithoutNormalizeTheSongKeepsItsLoudness) {
    const LoudnessReading r = readLoudness(make(quiet));
    EXPECT_NEAR(r.integratedLufs, -30.0, 1.5);
}

TEST_F(CliWaysOut, SaveWritesEachFormat) {
    const QString stored = make(loud);
    const QString name = QFileInfo(stored).fileName();
    QTemporaryDir dest;
    const double length = probeDuration(stored);
    struct Case {
        QString format, codec;
    };
    for (const Case& c : {Case{"m4r", "aac"}, Case{"m4a", "aac"}, Case{"ogg", "opus"}}) {
        SCOPED_TRACE(c.format.toStdString());
        const ToolResult r = cli({"save", name, dest.path(), "--format", c.format});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QString copy = r.lastLine();
        EXPECT_EQ(copy, dest.path() + "/" + QFileInfo(stored).completeBaseName() + "." + c.format);
        EXPECT_EQ(probeStreamField(copy, "codec_name"), c.codec);
        EXPECT_NEAR(probeDuration(copy), length, 0.05);
    }
    const QString ogg = dest.path() + "/" + QFileInfo(stored).completeBaseName() + ".ogg";
    EXPECT_EQ(exif(ogg, "Title"), "loud");
    // A file name as DEST picks the format by its extension.
    const ToolResult named = cli({"save", name, dest.path() + "/For Android.m4a"});
    ASSERT_EQ(named.exitCode, 0) << named.err.toStdString();
    QFile a(stored), b(dest.path() + "/For Android.m4a");
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST_F(CliWaysOut, SaveRefusesWhatItCannotWrite) {
    const QString name = QFileInfo(make(loud)).fileName();
    QTemporaryDir dest;
    QFile mine(dest.path() + "/mine.m4r");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("mine");
    mine.close();
    ToolResult r = cli({"save", name, mine.fileName()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("already there")) << r.err.toStdString();
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), QByteArray("mine"));
    r = cli({"save", name, dest.path() + "/no/such/folder/x.m4r"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("does not exist")) << r.err.toStdString();
    r = cli({"save", "Nothing-1.m4r", dest.path()});
    EXPECT_EQ(r.exitCode, 1);
    r = cli({"save", name, dest.path(), "--format", "mp3"});
    EXPECT_EQ(r.exitCode, 2);
}
