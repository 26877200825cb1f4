// quorvel-cli end to end: the road of an export for library songs and
// recordings, for every row of the editor's decision table, checked with
// ffprobe, exiftool and sqlite3.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace quorvel::test;

namespace {

using CliResult = ToolResult;

class CliMake : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new QTemporaryDir;
        const QString dir = media->path();
        // Stereo songs with tags, made by ffmpeg; a mono 16-bit recording.
        auto make = [&](const QString& name, const QStringList& codec, const QString& title = QString()) {
            QStringList args = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                                QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=60,aformat=channel_layouts=stereo"),
                                QStringLiteral("-metadata"),
                                QStringLiteral("title=") + (title.isEmpty() ? QStringLiteral("Tune ") + name.section('.', -1) : title),
                                QStringLiteral("-metadata"), QStringLiteral("artist=The Band")};
            args << codec << QStringLiteral("-y") << dir + QLatin1Char('/') + name;
            ASSERT_EQ(runTool(QStringLiteral("ffmpeg"), args).exitCode, 0) << name.toStdString();
        };
        make(QStringLiteral("song.mp3"), {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"), QStringLiteral("128k")});
        make(QStringLiteral("song.m4a"), {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("128k")});
        make(QStringLiteral("acdc.mp3"), {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")}, QStringLiteral("AC/DC"));
        make(QStringLiteral("song48.mp3"), {QStringLiteral("-ar"), QStringLiteral("48000"), QStringLiteral("-c:a"), QStringLiteral("libmp3lame")},
             QStringLiteral("At 48 kHz"));
        make(QStringLiteral("short.mp3"), {QStringLiteral("-t"), QStringLiteral("2.5"), QStringLiteral("-c:a"), QStringLiteral("libmp3lame")},
             QStringLiteral("Short One"));
        // Variable bit rate without a header that gives the length: four
        // quiet seconds first make a guess from the bit rate nearly twice too long.
        ASSERT_EQ(runTool(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("aevalsrc=if(lt(t\\,4)\\,0\\,0.5*sin(440*2*PI*t)+0.3*sin(3000*2*PI*t)):d=12"),
                           QStringLiteral("-metadata"), QStringLiteral("title=Guessed Length"), QStringLiteral("-c:a"),
                           QStringLiteral("libmp3lame"), QStringLiteral("-q:a"), QStringLiteral("0"), QStringLiteral("-write_xing"),
                           QStringLiteral("0"), QStringLiteral("-y"), dir + QStringLiteral("/guessed.mp3")})
                      .exitCode,
                  0);
        ASSERT_TRUE(writeWav16(dir + QStringLiteral("/recording.wav"), sine(660, 10.0), 44100, 1));
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }

    // `fileSizeLimit` (bytes, 0 for none) stands for a full disk: every write past it fails.
    CliResult cli(const QStringList& args, bool hardwareAac = true, rlim_t fileSizeLimit = 0) {
        std::function<void()> limitWrites;
        if (fileSizeLimit) {
            limitWrites = [fileSizeLimit] {
                std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
                const rlimit limit{fileSizeLimit, fileSizeLimit};
                setrlimit(RLIMIT_FSIZE, &limit);
            };
        }
        return runTool(QStringLiteral(QUORVEL_CLI), args, 300000, cliEnvironment(home.path(), media->path(), hardwareAac),
                       limitWrites);
    }
    QString source(const QString& name) const { return media->path() + QLatin1Char('/') + name; }
    QString query(const QString& sql) const {
        ToolResult r = runTool(QStringLiteral("sqlite3"), {home.documents() + QStringLiteral("/.Quorvel.sqlite"), sql});
        return r.out.trimmed();
    }
    QStringList visibleFiles() const {
        return QDir(home.documents()).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }

    static QTemporaryDir* media;
    TempHome home;
};
QTemporaryDir* CliMake::media = nullptr;

// RMS of a quarter of a second of decoded audio from `at` seconds.
double rmsAt(const std::vector<float>& x, double at) {
    const size_t from = size_t(at * 44100), to = std::min(x.size(), from + 11025);
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(x[i]) * x[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

struct Road {
    QString file;      // the source in the media folder
    bool recording;
    bool hardwareAac;
    bool effects;      // speed changed
    bool engineRuns;
    QString writer;
    int channels;
    double seconds;    // the ringtone's length
    QString name;      // "title" of the stored file
};

} // namespace

// Each row of the decision table, for an MP3 song, an M4A song and a recording.
TEST_F(CliMake, EveryRowOfTheDecisionTableEndsInAStoredTaggedRingtone) {
    const QString hw = QStringLiteral("AudioExportHelper"), sw = QStringLiteral("AudioExporterFor3G");
    const Road roads[] = {
        // Hardware encoder present: the platform export, the engine only for effects.
        {QStringLiteral("song.mp3"), false, true, false, false, hw, 2, 5.0, QStringLiteral("Tune mp3")},
        {QStringLiteral("song.mp3"), false, true, true, true, hw, 1, 7.1, QStringLiteral("Tune mp3")},
        {QStringLiteral("song.m4a"), false, true, false, false, hw, 2, 5.0, QStringLiteral("Tune m4a")},
        {QStringLiteral("recording.wav"), true, true, true, true, hw, 1, 7.1, QString()},
        // No hardware encoder: MPEG-4 sources at factors 1.0 keep the platform
        // export; everything else goes through the engine and the AAC writer.
        {QStringLiteral("song.m4a"), false, false, false, false, hw, 2, 5.0, QStringLiteral("Tune m4a")},
        {QStringLiteral("song.m4a"), false, false, true, true, sw, 1, 7.1, QStringLiteral("Tune m4a")},
        {QStringLiteral("song.mp3"), false, false, false, true, sw, 1, 5.0, QStringLiteral("Tune mp3")},
        {QStringLiteral("song.mp3"), false, false, true, true, sw, 1, 7.1, QStringLiteral("Tune mp3")},
        // The AAC writer writes the same segment as the platform export.
        {QStringLiteral("recording.wav"), true, false, false, true, sw, 1, 5.0, QString()},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(QStringLiteral("%1 hw=%2 effects=%3").arg(road.file).arg(road.hardwareAac).arg(road.effects).toStdString());
        // The road taken is in the log, which --verbose shows.
        QStringList args = {QStringLiteral("make"), QStringLiteral("--verbose"), source(road.file), QStringLiteral("--start"),
                            QStringLiteral("2"), QStringLiteral("--length"), QStringLiteral("5")};
        if (road.effects) args << QStringLiteral("--speed") << QStringLiteral("1");
        if (road.recording) args << QStringLiteral("--recording");
        CliResult r = cli(args, road.hardwareAac);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(road.engineRuns ? QStringLiteral("engine: runs") : QStringLiteral("engine: skipped")))
            << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("writer: ") + road.writer)) << r.err.toStdString();
        // The platform export follows the engine's file while it is written.
        EXPECT_EQ(r.err.contains(QStringLiteral("export: follows the engine's output")), road.engineRuns && road.writer == hw)
            << r.err.toStdString();
        // A song given by its path opens without a scan of the whole library.
        EXPECT_FALSE(r.err.contains(QStringLiteral("songs scanned"))) << r.err.toStdString();

        const QString stored = r.lastLine();
        const QFileInfo info(stored);
        ASSERT_TRUE(info.isFile()) << stored.toStdString();
        EXPECT_EQ(info.absolutePath(), QDir(home.documents()).canonicalPath());
        if (!road.recording) {
            EXPECT_EQ(info.fileName(), road.name + QStringLiteral("-1.m4r"));
        }
        EXPECT_EQ(probeStreamField(stored, QStringLiteral("codec_name")), QStringLiteral("aac"));
        EXPECT_EQ(probeStreamField(stored, QStringLiteral("profile")), QStringLiteral("LC"));
        EXPECT_EQ(probeStreamField(stored, QStringLiteral("sample_rate")), QStringLiteral("44100"));
        EXPECT_EQ(probeStreamField(stored, QStringLiteral("channels")), QString::number(road.channels));
        EXPECT_NEAR(probeDuration(stored), road.seconds, 0.06);
        ToolResult tags = runTool(QStringLiteral("exiftool"), {QStringLiteral("-s"), QStringLiteral("-s"),
                                                              QStringLiteral("-MediaType"), QStringLiteral("-Comment"), stored});
        EXPECT_TRUE(tags.out.contains(QStringLiteral("MediaType: Ringtone"))) << tags.out.toStdString();
        EXPECT_TRUE(tags.out.contains(QStringLiteral("Comment: brought to you by ... me!")));
        EXPECT_EQ(query(QStringLiteral("SELECT file, counter FROM Ringtone ORDER BY date DESC LIMIT 1;")),
                  info.fileName() + QStringLiteral("|1"));
        // Only the ringtone is left; the work files are hidden.
        EXPECT_EQ(visibleFiles(), QStringList{info.fileName()});
        ASSERT_EQ(cli({QStringLiteral("delete"), info.fileName()}).exitCode, 0);
        EXPECT_TRUE(visibleFiles().isEmpty());
    }
}

TEST_F(CliMake, RepeatedExportsCountUpAndTheListShowsThemNewestFirst) {
    for (int i = 1; i <= 2; ++i) {
        CliResult r = cli({QStringLiteral("make"), source(QStringLiteral("song.mp3")), QStringLiteral("--fade-in"),
                           QStringLiteral("1")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(QFileInfo(r.lastLine()).fileName(), QStringLiteral("Tune mp3-%1.m4r").arg(i));
    }
    EXPECT_EQ(query(QStringLiteral("SELECT file, title, artist, counter, duration FROM Ringtone ORDER BY counter;")),
              QStringLiteral("Tune mp3-1.m4r|Tune mp3|The Band|1|3.0\nTune mp3-2.m4r|Tune mp3|The Band|2|3.0"));
    CliResult list = cli({QStringLiteral("list")});
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, QStringLiteral("Tune mp3-2.m4r\tTune mp3-2\tThe Band\t3\nTune mp3-1.m4r\tTune mp3-1\tThe Band\t3\n"));
}

// Sound is loaded when something plays: a make, which plays nothing, starts
// without SDL2 and the twenty libraries it brings.
TEST_F(CliMake, AMakeStartsWithoutTheSoundLibrary) {
    QProcessEnvironment env = cliEnvironment(home.path(), media->path(), true);
    env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    const ToolResult r = runTool(QStringLiteral(QUORVEL_CLI), {QStringLiteral("make"), source(QStringLiteral("song.mp3"))}, 300000, env);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_TRUE(r.err.contains(QStringLiteral("libavcodec"))); // the loader did report what it loaded
    EXPECT_FALSE(r.err.contains(QStringLiteral("libSDL2")));
}

TEST_F(CliMake, ATitleWithASlashIsStoredDirectlyInsideTheDocuments) {
    CliResult r = cli({QStringLiteral("make"), source(QStringLiteral("acdc.mp3"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QFileInfo stored(r.lastLine());
    EXPECT_EQ(stored.absolutePath(), QDir(home.documents()).canonicalPath());
    EXPECT_EQ(stored.fileName(), QStringLiteral("AC_DC-1.m4r"));
    EXPECT_EQ(query(QStringLiteral("SELECT file, title FROM Ringtone;")), QStringLiteral("AC_DC-1.m4r|AC/DC"));
    EXPECT_EQ(visibleFiles(), QStringList{QStringLiteral("AC_DC-1.m4r")});
}

TEST_F(CliMake, ControlValuesGoThroughTheEditorsRules) {
    // 45 s becomes 39.9 s; twice as long is still capped at 39.9 s.
    CliResult r = cli({QStringLiteral("make"), source(QStringLiteral("song.m4a")), QStringLiteral("--length"),
                       QStringLiteral("40"), QStringLiteral("--speed"), QStringLiteral("2")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_NEAR(probeDuration(r.lastLine()), 39.9, 0.06);
    // A pitch of 8.9 semitones snaps to 6; the engine runs.
    r = cli({QStringLiteral("make"), QStringLiteral("--verbose"), source(QStringLiteral("song.mp3")), QStringLiteral("--pitch"), QStringLiteral("8.9"),
             QStringLiteral("--length"), QStringLiteral("45"), QStringLiteral("--start"), QStringLiteral("50")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("engine: runs")));
    // Start 50 with length 39.9 leaves at most 20.1 s of start: the segment ends at the song's end.
    EXPECT_NEAR(probeDuration(r.lastLine()), 39.9, 0.06);
}

TEST_F(CliMake, FailuresSayWhatHappenedAndLeaveNothingBehind) {
    ASSERT_EQ(cli({QStringLiteral("list")}).exitCode, 0);
    const QString before = query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;"));
    QFile text(source(QStringLiteral("notes.mp3")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is not an MP3 file, only words.\n");
    text.close();
    ASSERT_TRUE(QFile::copy(source(QStringLiteral("song.m4a")), source(QStringLiteral("locked.m4p"))));

    struct Case {
        QStringList args;
        int exitCode;
        QString message;
    } cases[] = {
        {{QStringLiteral("make"), QStringLiteral("ipod-library://item/item.mp3?id=12345")}, 1, QStringLiteral("no song")},
        {{QStringLiteral("make"), source(QStringLiteral("missing.mp3"))}, 1, QStringLiteral("cannot read")},
        {{QStringLiteral("make"), source(QStringLiteral("notes.mp3"))}, 1, QString()},
        {{QStringLiteral("make"), source(QStringLiteral("locked.m4p"))}, 1, QStringLiteral("DRM")},
        {{QStringLiteral("make")}, 2, QStringLiteral("usage")},
        {{QStringLiteral("make"), source(QStringLiteral("song.mp3")), QStringLiteral("--speed")}, 2, QStringLiteral("Missing value after '--speed'")},
        {{QStringLiteral("make"), source(QStringLiteral("song.mp3")), QStringLiteral("--speed"), QStringLiteral("fast")}, 2,
         QStringLiteral("needs a number")},
        {{QStringLiteral("frobnicate")}, 2, QStringLiteral("unknown command")},
        {{QStringLiteral("delete"), QStringLiteral("nothing.m4r")}, 1, QStringLiteral("no stored ringtone")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        CliResult r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_FALSE(r.err.trimmed().isEmpty());
        if (!c.message.isEmpty()) {
            EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        }
        EXPECT_TRUE(visibleFiles().isEmpty());
        EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), before);
    }
    QFile::remove(source(QStringLiteral("notes.mp3")));
    QFile::remove(source(QStringLiteral("locked.m4p")));
}

TEST_F(CliMake, EveryCommandHasHelp) {
    for (const char* command : {"songs", "make", "encode", "list", "delete"}) {
        CliResult r = cli({QString::fromLatin1(command), QStringLiteral("--help")});
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: quorvel-cli ") + QString::fromLatin1(command))) << command;
    }
    EXPECT_EQ(cli({QStringLiteral("--help")}).exitCode, 0);
    EXPECT_EQ(cli({}).exitCode, 2);
}

TEST_F(CliMake, SongsListsTheLibraryWithLengths) {
    CliResult r = cli({QStringLiteral("songs"), QStringLiteral("--search"), QStringLiteral("tune")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    const QStringList fields = lines.front().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 4);
    EXPECT_TRUE(fields[0].startsWith(QStringLiteral("ipod-library://item/item.")));
    EXPECT_EQ(fields[2], QStringLiteral("The Band"));
    EXPECT_NEAR(fields[3].toDouble(), 60.0, 0.1);

    // Its URL makes a ringtone; the library is scanned to find it.
    r = cli({QStringLiteral("make"), QStringLiteral("--verbose"), fields[0], QStringLiteral("--length"), QStringLiteral("3")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("songs scanned"))) << r.err.toStdString();
    EXPECT_NEAR(probeDuration(r.lastLine()), 3.0, 0.06);
}

// An interrupted recorder leaves 0 as the "data" length: the samples still run
// to the end of the file, and the ringtone holds all of them.
TEST_F(CliMake, EncodeReadsAWavWhoseDataLengthIsZeroToTheEnd) {
    const QString in = home.path() + QStringLiteral("/interrupted.wav");
    ASSERT_TRUE(writeWav16(in, sine(440, 2.0), 44100, 1));
    QFile wav(in);
    ASSERT_TRUE(wav.open(QIODevice::ReadWrite));
    ASSERT_TRUE(wav.seek(40)); // the canonical header's data length
    ASSERT_EQ(wav.write(QByteArray(4, '\0')), 4);
    wav.close();

    const QString out = home.path() + QStringLiteral("/interrupted.m4r");
    CliResult r = cli({QStringLiteral("encode"), in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_NEAR(probeDuration(out), 2.0, 0.03);
}

// The processed segment does not fit on the disk: the road stops with a
// message, and no ringtone is made from the short ".processedEffect.wav".
TEST_F(CliMake, AFullDiskDuringTheEffectsRunStopsTheRoad) {
    ASSERT_EQ(cli({QStringLiteral("list")}).exitCode, 0);
    // The cut (3 s of MP3) fits; 4.2 s of processed 16-bit audio does not.
    CliResult r = cli({QStringLiteral("make"), source(QStringLiteral("song.mp3")), QStringLiteral("--speed"),
                       QStringLiteral("1")},
                      true, 200 * 1024);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(".processedEffect.wav could not be"))) << r.err.toStdString();
    EXPECT_TRUE(visibleFiles().isEmpty());
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), QStringLiteral("0"));
}

// On both roads, and however the length is reached.
TEST_F(CliMake, ARingtoneNeverLastsMoreThan39_9Seconds) {
    for (const bool hardwareAac : {true, false}) {
        for (const QStringList& values : {QStringList{QStringLiteral("--length"), QStringLiteral("39.95")},
                                          QStringList{QStringLiteral("--length"), QStringLiteral("30"), QStringLiteral("--speed"),
                                                      QStringLiteral("1")}}) {
            SCOPED_TRACE(QStringLiteral("hw=%1 %2").arg(hardwareAac).arg(values.join(' ')).toStdString());
            CliResult r = cli(QStringList{QStringLiteral("make"), source(QStringLiteral("song.mp3"))} + values, hardwareAac);
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
            const double seconds = probeDuration(r.lastLine());
            EXPECT_LE(seconds, 39.9005);
            EXPECT_NEAR(seconds, 39.9, 0.03);
        }
    }
}

// Without a hardware encoder the AAC writer makes the ringtone: the same
// segment, length and fades as the platform export, for a 48 kHz song too.
TEST_F(CliMake, TheAacWritersRoadWritesWhatThePlatformExportWrites) {
    std::vector<float> made[2];
    for (const bool hardwareAac : {true, false}) {
        CliResult r = cli({QStringLiteral("make"), source(QStringLiteral("song48.mp3")), QStringLiteral("--start"), QStringLiteral("2"),
                           QStringLiteral("--length"), QStringLiteral("10"), QStringLiteral("--fade-in"), QStringLiteral("3"),
                           QStringLiteral("--fade-out"), QStringLiteral("3"), QStringLiteral("--verbose")},
                          hardwareAac);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(hardwareAac ? QStringLiteral("writer: AudioExportHelper") : QStringLiteral("writer: AudioExporterFor3G")));
        EXPECT_NEAR(probeDuration(r.lastLine()), 10.0, 0.03) << "hw=" << hardwareAac;
        made[hardwareAac] = decodedMono(r.lastLine());
        ASSERT_FALSE(made[hardwareAac].empty());
    }
    // The envelopes, each road's level at 1.0 (the engine's road mixes the song to mono).
    const double full[2] = {rmsAt(made[false], 5.0), rmsAt(made[true], 5.0)};
    ASSERT_GT(full[0], 0.03);
    ASSERT_GT(full[1], 0.03);
    for (const double at : {0.0, 1.0, 1.5, 5.0, 8.25, 9.0, 9.7}) {
        EXPECT_NEAR(rmsAt(made[false], at) / full[0], rmsAt(made[true], at) / full[1], 0.08) << "at " << at << " s";
    }
    for (const bool hardwareAac : {true, false}) {
        EXPECT_LT(rmsAt(made[hardwareAac], 0.0), 0.1 * full[hardwareAac]) << "the fade-in, hw=" << hardwareAac;
        EXPECT_LT(rmsAt(made[hardwareAac], 9.7), 0.1 * full[hardwareAac]) << "the fade-out, hw=" << hardwareAac;
    }
}

// A song or a recording shorter than the shortest length is exported as it
// is, and stored with the length it has.
TEST_F(CliMake, TheStoredLengthIsTheRingtonesOwnLength) {
    const QString blip = home.path() + QStringLiteral("/blip.wav");
    ASSERT_TRUE(writeWav16(blip, sine(880, 0.04), 44100, 1));
    struct Case {
        QStringList args;
        double seconds;
        double tolerance;
    } cases[] = {{{source(QStringLiteral("short.mp3"))}, 2.5, 0.05}, {{blip, QStringLiteral("--recording")}, 0.04, 0.002}};
    for (const Case& c : cases) {
        for (const bool hardwareAac : {true, false}) {
            SCOPED_TRACE(QStringLiteral("hw=%1 %2").arg(hardwareAac).arg(c.args.join(' ')).toStdString());
            CliResult r = cli(QStringList{QStringLiteral("make")} + c.args, hardwareAac);
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
            const double seconds = probeDuration(r.lastLine());
            EXPECT_NEAR(seconds, c.seconds, c.tolerance);
            const QString stored = query(QStringLiteral("SELECT duration FROM Ringtone WHERE file = '%1';")
                                             .arg(QFileInfo(r.lastLine()).fileName()));
            EXPECT_NEAR(stored.toDouble(), seconds, 0.002) << stored.toStdString();
        }
    }
}

// The length listed is the decoded audio's, not a guess from the bit rate.
TEST_F(CliMake, SongLengthsAreTheDecodedAudios) {
    CliResult r = cli({QStringLiteral("songs"), QStringLiteral("--search"), QStringLiteral("guessed")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList fields = r.out.trimmed().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 4) << r.out.toStdString();
    const double decoded = decodedSeconds(source(QStringLiteral("guessed.mp3")));
    EXPECT_NEAR(decoded, 12.0, 0.1);
    EXPECT_NEAR(fields[3].toDouble(), decoded, 0.1);
}
