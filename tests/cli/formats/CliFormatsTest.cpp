// quorvel-cli end to end with songs in FLAC, Ogg Vorbis and Opus: listed with
// their tags, made into ringtones of the asked length and pitch (measured on
// the ringtone), covers kept, the decoded song reused, damaged files refused.
#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvel::test;

namespace {

using CliResult = ToolResult;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Where a FLAC file's frames begin: after "fLaC" and the metadata blocks.
qsizetype flacFramesOffset(const QByteArray& flac) {
    qsizetype at = 4;
    for (;;) {
        if (at + 4 > flac.size()) return -1;
        const auto header = uchar(flac[at]);
        const qsizetype length = (uchar(flac[at + 1]) << 16) | (uchar(flac[at + 2]) << 8) | uchar(flac[at + 3]);
        at += 4 + length;
        if (header & 0x80) return at;
    }
}

// The frequency of a steady tone, from its zero crossings (interpolated), in
// the middle of the file as ffmpeg decodes it.
double measuredFrequency(const QString& file, const QString& scratch) {
    const QString raw = scratch + QStringLiteral("/measure.f32");
    const ToolResult r = runTool(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                                           QStringLiteral("-i"), file, QStringLiteral("-ac"), QStringLiteral("1"),
                                                           QStringLiteral("-ar"), QStringLiteral("44100"), QStringLiteral("-f"),
                                                           QStringLiteral("f32le"), raw});
    if (r.exitCode != 0) return NAN;
    const QByteArray bytes = readAll(raw);
    const auto* x = reinterpret_cast<const float*>(bytes.constData());
    const qsizetype n = bytes.size() / qsizetype(sizeof(float));
    double first = -1, last = -1;
    int crossings = 0;
    for (qsizetype i = n / 5; i + 1 < n * 4 / 5; ++i) {
        if (x[i] <= 0 && x[i + 1] > 0) {
            const double at = double(i) + double(x[i]) / double(x[i] - x[i + 1]);
            if (first < 0) first = at;
            else ++crossings;
            last = at;
        }
    }
    return crossings > 0 ? crossings * 44100.0 / (last - first) : NAN;
}

class CliFormats : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new QTemporaryDir;
        const QString dir = media->path();
        QImage cover(120, 120, QImage::Format_RGB32);
        cover.fill(Qt::red);
        cover.save(dir + QStringLiteral("/cover.png"));
        // Minute-long 440 Hz tones with tags, made by ffmpeg; the FLAC carries a cover.
        auto make = [&](const QString& name, const QStringList& codec) {
            QStringList args = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                                QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=60,aformat=channel_layouts=stereo")};
            args << codec << QStringLiteral("-metadata") << QStringLiteral("title=Tune ") + name.section('.', -1)
                 << QStringLiteral("-metadata") << QStringLiteral("artist=The Band") << QStringLiteral("-y")
                 << dir + QLatin1Char('/') + name;
            const ToolResult r = runTool(QStringLiteral("ffmpeg"), args);
            ASSERT_EQ(r.exitCode, 0) << name.toStdString() << r.err.toStdString();
        };
        make(QStringLiteral("song.flac"),
             {QStringLiteral("-i"), dir + QStringLiteral("/cover.png"), QStringLiteral("-map"), QStringLiteral("0"),
              QStringLiteral("-map"), QStringLiteral("1"), QStringLiteral("-c:v"), QStringLiteral("copy"),
              QStringLiteral("-disposition:v"), QStringLiteral("attached_pic")});
        make(QStringLiteral("song.ogg"), {QStringLiteral("-c:a"), QStringLiteral("libvorbis")});
        make(QStringLiteral("song.opus"), {QStringLiteral("-c:a"), QStringLiteral("libopus")});
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }

    CliResult cli(const QStringList& args, bool hardwareAac = true) {
        return runTool(QStringLiteral(QUORVEL_CLI), args, 300000, cliEnvironment(home.path(), media->path(), hardwareAac));
    }
    QString source(const QString& name) const { return media->path() + QLatin1Char('/') + name; }
    QString query(const QString& sql) const {
        return runTool(QStringLiteral("sqlite3"), {home.documents() + QStringLiteral("/.Quorvel.sqlite"), sql}).out.trimmed();
    }
    QStringList documents() const {
        return QDir(home.documents()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    QFileInfoList cacheFiles() const {
        return QDir(home.path() + QStringLiteral("/Cache/SongCache")).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    // The library URL `songs` gives for a title.
    QString urlOf(const QString& title) {
        const CliResult r = cli({QStringLiteral("songs"), QStringLiteral("--search"), title});
        return r.out.section(QLatin1Char('\t'), 0, 0);
    }

    static inline QTemporaryDir* media = nullptr;
    TempHome home;
    QTemporaryDir scratch;
};

} // namespace

TEST_F(CliFormats, SongsListsThemWithTheirTagsAndLengths) {
    const CliResult r = cli({QStringLiteral("songs"), QStringLiteral("--search"), QStringLiteral("tune")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    QStringList titles;
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 4) << line.toStdString();
        EXPECT_TRUE(fields[0].startsWith(QStringLiteral("ipod-library://item/item.wav?id="))) << line.toStdString();
        titles << fields[1];
        EXPECT_EQ(fields[2], QStringLiteral("The Band"));
        EXPECT_NEAR(fields[3].toDouble(), 60.0, 0.1);
    }
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Tune flac"), QStringLiteral("Tune ogg"), QStringLiteral("Tune opus")}));
    // Listing decodes nothing.
    EXPECT_TRUE(cacheFiles().isEmpty());
}

TEST_F(CliFormats, RingtonesHaveTheAskedLengthAndPitch) {
    struct Case {
        QString source;
        QString pitch;
        double hz;
        bool hardwareAac;
        QString title;
    } cases[] = {
        {urlOf(QStringLiteral("Tune flac")), QStringLiteral("12"), 880.0, true, QStringLiteral("Tune flac")},
        {source(QStringLiteral("song.ogg")), QStringLiteral("0"), 440.0, true, QStringLiteral("Tune ogg")},
        {source(QStringLiteral("song.opus")), QStringLiteral("0"), 440.0, true, QStringLiteral("Tune opus")},
        {source(QStringLiteral("song.opus")), QStringLiteral("-12"), 220.0, true, QStringLiteral("Tune opus")},
        // Without a hardware encoder: the engine and the AAC writer.
        {source(QStringLiteral("song.flac")), QStringLiteral("-12"), 220.0, false, QStringLiteral("Tune flac")},
        {source(QStringLiteral("song.ogg")), QStringLiteral("6"), 440.0 * std::sqrt(2.0), false, QStringLiteral("Tune ogg")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 pitch %2 hw=%3").arg(c.source, c.pitch).arg(c.hardwareAac).toStdString());
        ASSERT_TRUE(c.source.startsWith(QStringLiteral("ipod-library:")) || QFileInfo(c.source).isFile());
        const CliResult r = cli({QStringLiteral("make"), c.source, QStringLiteral("--start"), QStringLiteral("10"),
                                 QStringLiteral("--length"), QStringLiteral("5"), QStringLiteral("--pitch"), c.pitch},
                                c.hardwareAac);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QString stored = r.lastLine();
        ASSERT_TRUE(QFileInfo(stored).isFile()) << stored.toStdString();
        EXPECT_TRUE(QFileInfo(stored).fileName().startsWith(c.title + QLatin1Char('-')));
        EXPECT_EQ(probeStreamField(stored, QStringLiteral("codec_name")), QStringLiteral("aac"));
        EXPECT_EQ(probeStreamField(stored, QStringLiteral("sample_rate")), QStringLiteral("44100"));
        EXPECT_NEAR(probeDuration(stored), 5.0, 0.06);
        const double hz = measuredFrequency(stored, scratch.path());
        EXPECT_NEAR(hz, c.hz, c.hz * 0.01);
        EXPECT_EQ(query(QStringLiteral("SELECT title, artist FROM Ringtone WHERE file = '%1';").arg(QFileInfo(stored).fileName())),
                  c.title + QStringLiteral("|The Band"));
        // No work file is left in the documents, and no song file either.
        EXPECT_EQ(documents().filter(QStringLiteral(".tmpExport")), QStringList());
        EXPECT_EQ(documents().filter(QStringLiteral(".wav")), QStringList());
    }
}

TEST_F(CliFormats, TheFlacCoverBecomesTheRingtonesArtwork) {
    const CliResult r = cli({QStringLiteral("make"), source(QStringLiteral("song.flac"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray png = QByteArray::fromHex(query(QStringLiteral("SELECT hex(image) FROM Ringtone_image;")).toLatin1());
    const QImage artwork = QImage::fromData(png);
    ASSERT_FALSE(artwork.isNull());
    EXPECT_EQ(artwork.size(), QSize(60, 60));
    EXPECT_GT(qRed(artwork.pixel(30, 30)), 200);
    EXPECT_LT(qGreen(artwork.pixel(30, 30)), 50);
}

TEST_F(CliFormats, ASecondMakeReusesTheDecodedSong) {
    const QStringList args = {QStringLiteral("make"), source(QStringLiteral("song.flac")), QStringLiteral("--length"),
                              QStringLiteral("4")};
    const CliResult first = cli(args);
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains(QStringLiteral("Decoding Tune flac..."))) << first.err.toStdString();
    const QFileInfoList cached = cacheFiles();
    ASSERT_EQ(cached.size(), 1);
    EXPECT_EQ(probeStreamField(cached.front().absoluteFilePath(), QStringLiteral("codec_name")), QStringLiteral("pcm_s16le"));
    EXPECT_NEAR(probeDuration(cached.front().absoluteFilePath()), 60.0, 0.01);
    const QDateTime decodedAt = cached.front().lastModified();

    const CliResult second = cli(args);
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_FALSE(second.err.contains(QStringLiteral("Decoding"))) << second.err.toStdString();
    const QFileInfoList after = cacheFiles();
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after.front().fileName(), cached.front().fileName());
    EXPECT_EQ(after.front().lastModified(), decodedAt);
    EXPECT_EQ(query(QStringLiteral("SELECT file FROM Ringtone ORDER BY counter;")),
              QStringLiteral("Tune flac-1.m4r\nTune flac-2.m4r"));
}

TEST_F(CliFormats, DamagedFilesAreRefusedLikeADamagedMp3) {
    ASSERT_EQ(cli({QStringLiteral("list")}).exitCode, 0);
    const QStringList before = documents();
    const QString count = query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;"));
    QByteArray noise(4096, 0);
    for (auto& b : noise) b = char(QRandomGenerator::global()->generate());
    const QByteArray flac = readAll(source(QStringLiteral("song.flac")));
    const qsizetype frames = flacFramesOffset(flac);
    ASSERT_GT(frames, 42);
    ASSERT_LT(frames, flac.size());
    QByteArray noFrames = flac;
    for (qsizetype i = frames; i < noFrames.size(); ++i) noFrames[i] = char(0x55);
    const QString d = scratch.path();
    ASSERT_TRUE(writeAll(d + QStringLiteral("/random.flac"), noise));
    ASSERT_TRUE(writeAll(d + QStringLiteral("/text.ogg"), "OggS is not enough: only words here.\n"));
    ASSERT_TRUE(writeAll(d + QStringLiteral("/empty.opus"), QByteArray()));
    ASSERT_TRUE(writeAll(d + QStringLiteral("/header.flac"), flac.left(30)));
    ASSERT_TRUE(writeAll(d + QStringLiteral("/noframes.flac"), noFrames));
    ASSERT_TRUE(writeAll(d + QStringLiteral("/random.mp3"), noise));
    // The MP3's refusal is the measure.
    const CliResult mp3 = cli({QStringLiteral("make"), d + QStringLiteral("/random.mp3")});
    EXPECT_EQ(mp3.exitCode, 1);
    ASSERT_TRUE(mp3.err.contains(QStringLiteral("cannot be read as audio"))) << mp3.err.toStdString();
    for (const char* name : {"random.flac", "text.ogg", "empty.opus", "header.flac", "noframes.flac"}) {
        SCOPED_TRACE(name);
        const QString path = d + QLatin1Char('/') + QLatin1String(name);
        const CliResult r = cli({QStringLiteral("make"), path});
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("quorvel-cli: %1 cannot be read as audio").arg(path))) << r.err.toStdString();
        EXPECT_EQ(documents(), before);
        EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone;")), count);
        EXPECT_TRUE(cacheFiles().isEmpty());
    }
}
