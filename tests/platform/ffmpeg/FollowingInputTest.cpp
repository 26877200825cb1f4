// A WAV that another thread is still writing, read through the reader that
// follows it: everything its writer gives comes out, and the writer's end
// (whole or failed) and the reader's stop are what end the reading.
#include "platform/core/GrowingFile.h"
#include "platform/ffmpeg/FFmpegHandles.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstring>
#include <thread>

using namespace quorvel;

namespace {

constexpr int kRate = 44100;

// A 16-bit mono header whose lengths say "unknown", as a WAV muxer leaves
// them until it closes the file.
QByteArray openEndedHeader() {
    QByteArray h;
    auto u32 = [&](quint32 v) { for (int i = 0; i < 4; ++i) h.append(char((v >> (8 * i)) & 0xFF)); };
    auto u16 = [&](quint16 v) { h.append(char(v & 0xFF)); h.append(char(v >> 8)); };
    h.append("RIFF"); u32(0xFFFFFFFF); h.append("WAVE");
    h.append("fmt "); u32(16); u16(1); u16(1); u32(kRate); u32(kRate * 2); u16(2); u16(16);
    h.append("data"); u32(0xFFFFFFFF);
    return h;
}

// Appends `chunks` blocks of `frames` samples (each sample its index, mod 30000),
// telling the registry after each, with a pause between them.
void writeSlowly(const QString& path, int chunks, int frames) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append | QIODevice::Unbuffered));
    int n = 0;
    for (int c = 0; c < chunks; ++c) {
        QByteArray block(frames * 2, '\0');
        for (int i = 0; i < frames; ++i, ++n) {
            const qint16 v = qint16(n % 30000);
            std::memcpy(block.data() + 2 * i, &v, 2);
        }
        ASSERT_EQ(file.write(block), block.size());
        GrowingFile::grew(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
}

// Reads every packet; returns the bytes of audio and the code that ended it.
int readAll(AVFormatContext* in, qint64* bytes) {
    ff::Packet packet = ff::makePacket();
    *bytes = 0;
    for (;;) {
        const int rc = av_read_frame(in, packet.get());
        if (rc < 0) return rc;
        *bytes += packet->size;
        av_packet_unref(packet.get());
    }
}

class FollowingInput : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.path() + QStringLiteral("/growing.wav");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(openEndedHeader());
    }
    QTemporaryDir dir;
    QString path;
};

} // namespace

TEST_F(FollowingInput, ReadsEverythingTheWriterGivesUntilItsEnd) {
    GrowingFile::begin(path);
    std::thread writer([&] {
        writeSlowly(path, 40, 4410); // 4 s
        GrowingFile::end(path, true);
    });
    int rc = 0;
    ff::InputFormat in = ff::openFollowingInput(path, {}, &rc);
    ASSERT_TRUE(in) << ff::errorString(rc).toStdString();
    qint64 bytes = 0;
    const int end = readAll(in.get(), &bytes);
    writer.join();
    EXPECT_EQ(end, AVERROR_EOF);
    EXPECT_EQ(bytes, qint64(40) * 4410 * 2) << "no block lost, none read twice";
    EXPECT_EQ(GrowingFile::state(path), GrowingFile::State::NotGrowing);

    // Once whole, it opens as any file: the same bytes.
    in = ff::openFollowingInput(path, {}, &rc);
    ASSERT_TRUE(in);
    EXPECT_EQ(readAll(in.get(), &bytes), AVERROR_EOF);
    EXPECT_EQ(bytes, qint64(40) * 4410 * 2);
}

TEST_F(FollowingInput, AWriterThatFailsFailsTheReadWithItsReason) {
    GrowingFile::begin(path);
    std::thread writer([&] {
        writeSlowly(path, 10, 4410);
        GrowingFile::end(path, false, QStringLiteral("The disk is full."));
    });
    ff::InputFormat in = ff::openFollowingInput(path, {});
    ASSERT_TRUE(in);
    qint64 bytes = 0;
    const int end = readAll(in.get(), &bytes);
    writer.join();
    EXPECT_EQ(end, AVERROR(EIO)) << "not the end of a whole file";
    EXPECT_EQ(GrowingFile::failureReason(path), QStringLiteral("The disk is full."));
    // The next run starts over.
    GrowingFile::begin(path);
    EXPECT_TRUE(GrowingFile::failureReason(path).isEmpty());
    GrowingFile::end(path, true);
}

TEST_F(FollowingInput, AReaderThatIsToldToStopStopsWaiting) {
    GrowingFile::begin(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(QByteArray(44100 * 2, '\0')); // one second, then nothing more
    file.close();
    std::atomic<bool> stop{false};
    std::atomic<bool> opened{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        stop = true;
    });
    // Reading the stream's information waits for more than a second of audio:
    // the stop ends the open, or the reading after it.
    int rc = 0;
    ff::InputFormat in = ff::openFollowingInput(path, [&] { return stop.load(); }, &rc);
    qint64 bytes = 0;
    if (in) {
        opened = true;
        rc = readAll(in.get(), &bytes);
    }
    stopper.join();
    EXPECT_EQ(rc, AVERROR_EXIT) << ff::errorString(rc).toStdString();
    if (opened) {
        EXPECT_LE(bytes, 44100 * 2);
    }
    GrowingFile::end(path, true);
}

TEST_F(FollowingInput, AWriterThatGoesWithoutEndingFailsItsReaders) {
    {
        GrowingFile::Writing writing(path);
        EXPECT_EQ(GrowingFile::state(path), GrowingFile::State::Growing);
    } // an exception or an early return on the writer's thread
    EXPECT_EQ(GrowingFile::state(path), GrowingFile::State::Failed);
    EXPECT_FALSE(GrowingFile::failureReason(path).isEmpty());
    {
        GrowingFile::Writing writing(path);
        writing.end(true);
    }
    EXPECT_EQ(GrowingFile::state(path), GrowingFile::State::NotGrowing);
}
