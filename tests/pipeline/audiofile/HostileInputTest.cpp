// Damaged and hostile files: each must give an error status or an early end of
// data, never a crash, a hang or an access out of bounds (run under ASan).
#include "AudioTestFiles.h"
#include "TestSupport.h"
#include "pipeline/AudioBuffers.h"
#include "pipeline/EAFRead.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>
#include <random>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class HostileInput : public ::testing::Test {
protected:
    TempHome home;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = home.path() + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    // A valid 16-bit mono WAV of `frames` frames.
    QByteArray wav(int frames) {
        const QString path = home.path() + "/valid.wav";
        EXPECT_TRUE(writeWav16(path, sine(440, frames / 44100.0), 44100, 1));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    static void put32(QByteArray& b, int at, quint32 v) {
        for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
    }
    static void put16(QByteArray& b, int at, quint16 v) {
        b[at] = char(v);
        b[at + 1] = char(v >> 8);
    }

    // Opens the file and reads it to the end. Returns the frames read, or -1
    // when the open failed. Fails the test when reading does not end.
    int64_t readThrough(const QString& path, int channels = 1) {
        EAFRead reader;
        if (reader.openFileForRead(fileUrl(path), 44100, channels) != 0) return -1;
        EXPECT_GE(reader.fileNumFrames(), 0);
        float** audio = AllocateAudioBuffer(channels, 8192);
        int64_t total = 0;
        int reads = 0;
        for (; reads < 20000; ++reads) {
            const int32_t n = reader.readFloatsConsecutive(8192, audio);
            if (n <= 0) break;
            EXPECT_LE(n, 8192);
            for (int c = 0; c < channels; ++c)
                for (int j = 0; j < n; ++j) EXPECT_TRUE(audio[c][j] >= -1.0f && audio[c][j] < 1.0f);
            total += n;
        }
        EXPECT_LT(reads, 20000) << "reading never ended: " << path.toStdString();
        DeallocateAudioBuffer(audio, channels);
        return total;
    }
};

} // namespace

TEST_F(HostileInput, EmptyAndTruncatedFilesFailToOpenOrEndEarly) {
    EXPECT_EQ(readThrough(write("empty.wav", {})), -1);
    EXPECT_EQ(readThrough(write("empty.mp3", {})), -1);
    const QByteArray valid = wav(1000);
    for (int cut : {4, 12, 20, 30, 36, 43})
        EXPECT_EQ(readThrough(write(QString("cut%1.wav").arg(cut), valid.left(cut))), -1) << cut;
    EXPECT_LE(readThrough(write("header-only.wav", valid.left(44))), 0);
    // Half a sample at the end is dropped, never read past.
    EXPECT_EQ(readThrough(write("odd.wav", valid.left(44 + 201))), 100);
}

TEST_F(HostileInput, LengthsPointingPastTheEndStopAtTheRealEnd) {
    QByteArray longData = wav(500);
    put32(longData, 40, 10000000); // "data" claims ten megabytes
    const QString longPath = write("long-data.wav", longData);
    EXPECT_EQ(readThrough(longPath), 500);
    EAFRead reader;
    ASSERT_EQ(reader.openFileForRead(fileUrl(longPath), 44100, 1), 0);
    EXPECT_EQ(reader.fileNumFrames(), 500); // counted, not taken from the header

    QByteArray allOnes = wav(500);
    put32(allOnes, 40, 0xFFFFFFFF);
    EXPECT_EQ(readThrough(write("ffffffff.wav", allOnes)), 500);

    QByteArray riff = wav(500);
    put32(riff, 4, 0xFFFFFFFF);
    EXPECT_EQ(readThrough(write("riff.wav", riff)), 500);

    QByteArray hugeFmt = wav(500);
    put32(hugeFmt, 16, 0x7FFFFFF0);
    EXPECT_LE(readThrough(write("huge-fmt.wav", hugeFmt)), 500);
}

TEST_F(HostileInput, ChunkLengthsThatWrapAroundDoNotLoop) {
    // A chunk between "fmt " and "data" whose length makes the position wrap to before itself.
    for (quint32 size : {0xFFFFFFF8u, 0xFFFFFFF0u, 0xFFFFFFFFu, 0x80000000u}) {
        QByteArray b = wav(500);
        QByteArray junk("junk");
        junk.append(4, '\0');
        put32(junk, 4, size);
        b.insert(36, junk);
        EXPECT_LE(readThrough(write(QString("wrap%1.wav").arg(size), b)), 500) << size;
    }
}

TEST_F(HostileInput, NonsenseFormatFieldsAreRefused) {
    struct Field {
        int at;
        int bytes;
        quint32 value;
    };
    // Channels, rate, block align, bits per sample and format tag set to zero or absurd values.
    for (const Field& f : {Field{22, 2, 0}, Field{22, 2, 65535}, Field{24, 4, 0}, Field{24, 4, 1},
                           Field{24, 4, 0xFFFFFFFF}, Field{32, 2, 0}, Field{34, 2, 0}, Field{34, 2, 65535},
                           Field{20, 2, 0xFFFE}, Field{20, 2, 0x55}}) {
        QByteArray b = wav(2000);
        if (f.bytes == 2) put16(b, f.at, quint16(f.value));
        else put32(b, f.at, f.value);
        const int64_t frames = readThrough(write(QString("field%1-%2.wav").arg(f.at).arg(f.value), b));
        EXPECT_LE(frames, 2000 * 44100) << f.at << " " << f.value;
    }
}

TEST_F(HostileInput, RandomBytesAndNonAudioFilesGiveErrorsOrShortReads) {
    std::mt19937 random(20261207);
    for (const char* ext : {"mp3", "wav", "m4a", "aiff", "bin"}) {
        for (int i = 0; i < 4; ++i) {
            QByteArray bytes(65536 >> (2 * i), '\0');
            for (char& c : bytes) c = char(random());
            readThrough(write(QString("random%1.%2").arg(i).arg(ext), bytes));
        }
    }
    // A text file and a picture renamed as songs.
    EXPECT_EQ(readThrough(write("notes.mp3", QByteArray("These are not the notes of a song.\n").repeated(200))), -1);
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString png = home.path() + "/cover.mp3";
    ASSERT_TRUE(picture.save(png, "PNG"));
    EXPECT_EQ(readThrough(png), -1);
}

TEST_F(HostileInput, TruncatedCompressedFilesEndEarly) {
    const QString source = home.path() + "/src.wav";
    ASSERT_TRUE(writeWav16(source, sine(440, 3.0), 44100, 1));
    for (const QString& name : {QString("song.mp3"), QString("song.m4a"), QString("fast.m4a")}) {
        const QString path = home.path() + "/" + name;
        QStringList args{"-v", "error", "-i", source};
        if (name == "fast.m4a") args << "-movflags" << "+faststart";
        mustRun("ffmpeg", args << "-y" << path);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        for (int keep : {100, 1000, int(bytes.size() / 2), int(bytes.size() - 7)}) {
            QByteArray cut = bytes.left(keep);
            // Damage the middle too: a run of garbage where frames were.
            if (keep > 4000)
                for (int i = keep / 2; i < keep / 2 + 300; ++i) cut[i] = char(i * 37);
            const int64_t frames = readThrough(write("cut-" + QString::number(keep) + name, cut));
            EXPECT_LE(frames, 3 * 44100 + 4096) << name.toStdString() << " " << keep;
        }
    }
}
