// Files in every format the reader must take, made by sox and ffmpeg, read
// through EAFRead and compared sample by sample with the tools' own decoding.
#include "AudioTestFiles.h"
#include "TestSupport.h"
#include "pipeline/EAFRead.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class EAFReadFormats : public ::testing::Test {
protected:
    TempHome home;
    QString file(const QString& name) const { return home.path() + "/" + name; }

    // A 1.3 s sweep (not a whole number of reads) made by sox with extra options.
    QString soxSweep(const QString& name, const QStringList& options, int channels = 1) {
        QStringList args{"-n", "-r", "44100", "-c", QString::number(channels)};
        args << options << file(name) << "synth" << "1.3" << "sine" << "300:3000";
        if (channels == 2) args << "sine" << "5000:200";
        args << "vol" << "0.8";
        mustRun("sox", args);
        return file(name);
    }

    // Reads the whole file mono at 44,100 Hz and checks it against sox, and the
    // length the reader reports against the number of frames sox decodes.
    void expectMatchesSox(const QString& path) {
        const std::vector<int16_t> reference = soxDecode(path);
        ASSERT_GT(reference.size(), 40000u);
        EXPECT_LE(maxDifference(readAllShorts(path, 44100, 1), reference), 1) << path.toStdString();
        EAFRead reader;
        ASSERT_EQ(reader.openFileForRead(fileUrl(path), 44100, 1), 0);
        EXPECT_EQ(reader.fileNumFrames(), int64_t(reference.size())) << path.toStdString();
    }

    // Chunk ids of a RIFF file in order.
    static QStringList riffChunks(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray b = f.readAll();
        QStringList ids;
        for (qsizetype pos = 12; pos + 8 <= b.size();) {
            ids << QString::fromLatin1(b.mid(pos, 4));
            const quint32 size = quint32(uint8_t(b[pos + 4])) | quint32(uint8_t(b[pos + 5])) << 8 |
                                 quint32(uint8_t(b[pos + 6])) << 16 | quint32(uint8_t(b[pos + 7])) << 24;
            pos += 8 + qsizetype(size) + (size & 1);
        }
        return ids;
    }
};

} // namespace

TEST_F(EAFReadFormats, IntegerWavOfEveryWidthMatchesSox) {
    for (const char* bits : {"8", "16", "24", "32"})
        expectMatchesSox(soxSweep(QString("int%1.wav").arg(bits), {"-e", "signed-integer", "-b", bits}));
}

TEST_F(EAFReadFormats, FloatWavMatchesSox) {
    expectMatchesSox(soxSweep("f32.wav", {"-e", "floating-point", "-b", "32"}));
    expectMatchesSox(soxSweep("f64.wav", {"-e", "floating-point", "-b", "64"}));
}

TEST_F(EAFReadFormats, ExtensibleStereoWavMatchesSoxAsMonoAndAsStereo) {
    const QString path = soxSweep("ext.wav", {"-b", "24"}, 2);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray header = f.read(22);
    ASSERT_EQ(uint8_t(header[20]), 0xFE); // WAVE_FORMAT_EXTENSIBLE
    ASSERT_EQ(uint8_t(header[21]), 0xFF);
    expectMatchesSox(path); // down-mixed by averaging
    EXPECT_LE(maxDifference(readAllShorts(path, 44100, 2), soxDecode(path, 2)), 1);
}

TEST_F(EAFReadFormats, FactAndListChunksBetweenFormatAndDataAreSkipped) {
    const QString source = soxSweep("src.wav", {"-b", "16"});
    const QString path = file("chunks.wav");
    mustRun("ffmpeg", {"-v", "error", "-i", source, "-c:a", "pcm_f32le", "-metadata", "title=Quorvel", "-y", path});
    const QStringList chunks = riffChunks(path);
    ASSERT_TRUE(chunks.contains("fact") && chunks.contains("LIST")) << chunks.join(',').toStdString();
    ASSERT_LT(chunks.indexOf("fmt "), chunks.indexOf("fact"));
    ASSERT_LT(chunks.indexOf("LIST"), chunks.indexOf("data"));
    expectMatchesSox(path);
}

TEST_F(EAFReadFormats, BextChunkBeforeFormatIsSkipped) {
    const QString source = soxSweep("plain.wav", {"-b", "16"});
    QFile in(source);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QByteArray bytes = in.readAll();
    ASSERT_EQ(bytes.mid(12, 4), QByteArray("fmt "));
    // A broadcast extension chunk (602 bytes of description and coding history) in front of "fmt ".
    QByteArray bext("bext");
    const quint32 size = 602;
    bext.append(char(size & 0xFF)).append(char(size >> 8)).append(2, '\0');
    bext.append(QByteArray(int(size), 'Q'));
    bytes.insert(12, bext);
    const quint32 riff = quint32(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) bytes[4 + i] = char(riff >> (8 * i));
    const QString path = file("bext.wav");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    ASSERT_EQ(riffChunks(path).first(), "bext");
    expectMatchesSox(path);
}

TEST_F(EAFReadFormats, AiffAndAifcMatchSox) {
    expectMatchesSox(soxSweep("s16.aiff", {"-b", "16"}));
    expectMatchesSox(soxSweep("s24.aiff", {"-b", "24"}));
    expectMatchesSox(soxSweep("s16.aifc", {"-b", "16"}));
}

TEST_F(EAFReadFormats, CompressedFilesMatchTheFfmpegProgram) {
    // sox here has no MP3 or MPEG-4 support: the ffmpeg program is the reference.
    const QString source = soxSweep("source.wav", {"-b", "16"});
    struct Case {
        const char* name;
        QStringList codec;
    };
    for (const Case& c : {Case{"lame.mp3", {"-c:a", "libmp3lame", "-b:a", "160k"}},
                          Case{"aac.m4a", {"-c:a", "aac", "-b:a", "128k"}},
                          Case{"alac.m4a", {"-c:a", "alac"}}}) {
        const QString path = file(c.name);
        mustRun("ffmpeg", QStringList{"-v", "error", "-i", source} + c.codec + QStringList{"-y", path});
        const std::vector<int16_t> reference = ffmpegDecode(path);
        ASSERT_GT(reference.size(), 40000u);
        EXPECT_LE(maxDifference(readAllShorts(path, 44100, 1, 8192), reference), 1) << c.name;
        EAFRead reader;
        ASSERT_EQ(reader.openFileForRead(fileUrl(path), 44100, 1), 0);
        EXPECT_EQ(reader.fileNumFrames(), int64_t(reference.size())) << c.name;
    }
    // Lossless stays exact against the source.
    EXPECT_EQ(readAllShorts(file("alac.m4a"), 44100, 1), soxDecode(source));
}
