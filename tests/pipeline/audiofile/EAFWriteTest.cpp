#include "pipeline/EAFWrite.h"
#include "AudioTestFiles.h"
#include "TestSupport.h"
#include "pipeline/AudioBuffers.h"
#include "pipeline/EAFRead.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::test;


TEST(EAFWrite, SixteenBitMonoWavRoundTripsThroughTheReader) {
    TempHome home;
    const QString path = home.path() + "/round.wav";
    std::vector<int16_t> tone = sine(440, 1.0, 44100, 0.8);
    tone[0] = -32768;
    tone[1] = 32767;
    {
        EAFWrite writer;
        ASSERT_EQ(writer.openFileForWrite(fileUrl(path), 44100, 1, 16, kAudioFileWAVEType), 0);
        // Uneven write sizes exercise the queue between client and encoder.
        size_t done = 0;
        for (uint32_t chunk : {1000u, 1u, 8192u, 4095u}) {
            while (done < tone.size()) {
                const uint32_t n = uint32_t(std::min<size_t>(chunk, tone.size() - done));
                int16_t* ch[1] = {tone.data() + done};
                ASSERT_EQ(writer.writeShorts(n, ch), 0);
                done += n;
                if (chunk != 4095u) break;
            }
        }
        ASSERT_EQ(done, tone.size());
    }
    EXPECT_EQ(probeStreamField(path, "codec_name"), "pcm_s16le");
    EXPECT_EQ(probeStreamField(path, "sample_rate"), "44100");
    EXPECT_EQ(probeStreamField(path, "channels"), "1");
    // The bare 44-byte header the WAV reader of the AAC writer expects.
    EXPECT_EQ(QFileInfo(path).size(), qint64(44 + tone.size() * 2));
    EXPECT_EQ(readAllShorts(path, 44100, 1), tone);
    EXPECT_EQ(soxDecode(path), tone);
}

namespace {

// Collects what the code under test prints on standard error.
class StderrCapture {
public:
    explicit StderrCapture(const QString& path) : path_(path) {
        std::fflush(stderr);
        saved_ = dup(2);
        const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        ::close(fd);
    }
    QByteArray finish() {
        std::fflush(stderr);
        dup2(saved_, 2);
        ::close(saved_);
        QFile f(path_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QString path_;
    int saved_ = -1;
};

} // namespace

TEST(EAFWrite, FloatsAreClampedInTheCallersArrayAndTruncated) {
    TempHome home;
    const QString path = home.path() + "/clamp.wav";
    float left[5] = {1.5f, -2.0f, 0.5f, -0.25f, 0.999f};
    float* chans[2] = {left, nullptr};
    {
        EAFWrite writer;
        ASSERT_EQ(writer.openFileForWrite(fileUrl(path), 44100, 2, 16, kAudioFileWAVEType), 0);
        EXPECT_EQ(writer.writeFloats(5, chans), 0);
        EXPECT_EQ(writer.writeFloats(0, chans), -1);
        EXPECT_EQ(writer.writeFloats(5, nullptr), -1);
        writer.closeFile();
        writer.closeFile(); // and once more from the destructor
    }
    EXPECT_EQ(left[0], 0.999f);
    EXPECT_EQ(left[1], -1.0f);
    EXPECT_EQ(left[2], 0.5f);
    // The null channel is silent; 0.999 * 32768 = 32735.2 truncates to 32735.
    EXPECT_EQ(soxDecode(path, 2), std::vector<int16_t>({32735, 0, -32768, 0, 16384, 0, -8192, 0, 32735, 0}));
}

TEST(EAFWrite, ASilentChannelStaysSilentAfterALouderBlock) {
    // The writer keeps one block list for the file and grows it when a larger
    // block comes: a null channel must not repeat what a block before left.
    TempHome home;
    const QString path = home.path() + "/reuse.wav";
    ChannelBuffers loud(2, 4);
    ASSERT_TRUE(loud);
    for (int c = 0; c < 2; ++c) std::fill_n(loud[c], 4, 0.5f);
    std::vector<int16_t> right = {-1, -2, -3, -4, -5, -6};
    int16_t* shorts[2] = {nullptr, right.data()};
    float* leftOnly[2] = {loud[0], nullptr};
    {
        EAFWrite writer;
        ASSERT_EQ(writer.openFileForWrite(fileUrl(path), 44100, 2, 16, kAudioFileWAVEType), 0);
        ASSERT_EQ(writer.writeFloats(4, loud.get()), 0);
        ASSERT_EQ(writer.writeFloats(3, leftOnly), 0);
        ASSERT_EQ(writer.writeShorts(6, shorts), 0);
    }
    std::vector<int16_t> expected;
    for (int i = 0; i < 4; ++i) expected.insert(expected.end(), {16384, 16384});
    for (int i = 0; i < 3; ++i) expected.insert(expected.end(), {16384, 0});
    for (int16_t v : right) expected.insert(expected.end(), {0, v});
    EXPECT_EQ(soxDecode(path, 2), expected);
}

TEST(EAFWrite, OpeningAnExistingPathReplacesTheFile) {
    TempHome home;
    const QString path = home.path() + "/again.wav";
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    {
        EAFWrite writer;
        ASSERT_EQ(writer.openFileForWrite(fileUrl(path), 44100, 1, 16, kAudioFileWAVEType), 0);
        int16_t samples[3] = {1, 2, 3};
        int16_t* chans[1] = {samples};
        ASSERT_EQ(writer.writeShorts(3, chans), 0);
    }
    EXPECT_EQ(QFileInfo(path).size(), 44 + 6);
    EXPECT_EQ(soxDecode(path), std::vector<int16_t>({1, 2, 3}));
}

TEST(EAFWrite, EveryContainerTypeOfTheTableIsWritten) {
    TempHome home;
    const std::vector<int16_t> tone = sine(1000, 1.0, 44100, 0.5);
    struct Case {
        const char* type;
        int bits;
        const char* codec;
        const char* container;
    };
    for (const Case& c : {Case{"WAVE", 8, "pcm_u8", "wav"}, Case{"WAVE", 24, "pcm_s24le", "wav"},
                          Case{"WAVE", 32, "pcm_s32le", "wav"}, Case{"AIFF", 16, "pcm_s16be", "aiff"},
                          Case{"AIFC", 16, "adpcm_ima_qt", "aiff"}, Case{"caff", 16, "pcm_s16be", "caf"},
                          Case{"m4af", 16, "aac", "mov,mp4,m4a,3gp,3g2,mj2"}}) {
        const QString path = home.path() + "/out-" + c.type + QString::number(c.bits);
        {
            EAFWrite writer;
            const uint32_t type = fourCC({c.type[0], c.type[1], c.type[2], c.type[3], '\0'});
            ASSERT_EQ(writer.openFileForWrite(fileUrl(path), 44100, 1, c.bits, type), 0) << c.type;
            std::vector<int16_t> copy = tone;
            int16_t* chans[1] = {copy.data()};
            ASSERT_EQ(writer.writeShorts(uint32_t(copy.size()), chans), 0);
        }
        EXPECT_EQ(probeStreamField(path, "codec_name"), c.codec) << c.type;
        const ToolResult format = runTool("ffprobe", {"-v", "error", "-show_entries", "format=format_name", "-of",
                                                      "default=nw=1:nk=1", path});
        EXPECT_EQ(format.out.trimmed(), c.container) << c.type;
        if (QString(c.codec) == "aac") {
            EXPECT_EQ(probeStreamField(path, "profile"), "LC");
        }
        // Read back: lossless types exactly (8-bit keeps the top byte), lossy ones keep the tone.
        const std::vector<int16_t> back = readAllShorts(path, 44100, 1);
        if (QString(c.codec).startsWith("pcm")) {
            ASSERT_EQ(back.size(), tone.size()) << c.type;
            for (size_t i = 0; i < tone.size(); ++i)
                ASSERT_EQ(back[i], c.bits == 8 ? int16_t(tone[i] & ~0xFF) : tone[i]) << c.type << " " << i;
        } else {
            EXPECT_NEAR(double(back.size()), double(tone.size()), 1100.0) << c.type;
            // The container does not record the AAC encoder's delay: line the tone up first.
            double power = 0, best = 1e300;
            for (size_t i = 2048; i + 4096 < tone.size(); i += 7) power += double(tone[i]) * tone[i];
            for (int shift = 0; shift <= 2048; ++shift) {
                double e = 0;
                for (size_t i = 2048; i + 4096 < std::min(back.size(), tone.size()); i += 7)
                    e += std::pow(double(back[i + size_t(shift)]) - tone[i], 2);
                best = std::min(best, e);
            }
            EXPECT_LT(best / power, 0.01) << c.type; // within 20 dB of the source
        }
    }
}

TEST(EAFWrite, FailuresArePrintedWithNumberAndCode) {
    TempHome home;
    StderrCapture capture(home.path() + "/stderr.txt");
    {
        EAFWrite writer;
        EXPECT_EQ(writer.openFileForWrite(fileUrl(home.path() + "/x.xyz"), 44100, 1, 16, fourCC("XXXX")),
                  fourCC("typ?"));
        int16_t s[1] = {0};
        int16_t* chans[1] = {s};
        EXPECT_EQ(writer.writeShorts(1, chans), kAudioFileNotOpenError);
    }
    // A status whose four bytes are not characters is the number alone; the file is named.
    const std::string file = (home.path() + "/x.xyz").toStdString();
    EXPECT_EQ(capture.finish().toStdString(), "AudioFileCreate FAILED! 1954115647 'typ?' (" + file +
                                                  ")\nExtAudioFileWrite FAILED! -38 (" + file + ")\n");
}

TEST(EAFWrite, AWriteTheDiskRefusesIsToldInTheSystemsWords) {
    TempHome home;
    const QString path = home.path() + "/big.wav";
    StderrCapture capture(home.path() + "/stderr.txt");
    // A file-size limit fails the write as a full disk would (EFBIG for ENOSPC).
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{16 * 1024, previous.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    OSStatus written = noErr;
    {
        EAFWrite writer;
        if (writer.openFileForWrite(fileUrl(path), 44100, 1, 16, kAudioFileWAVEType) == noErr) {
            std::vector<int16_t> samples(44100, 1000);
            int16_t* chans[1] = {samples.data()};
            for (int i = 0; i < 4 && written == noErr; ++i) written = writer.writeShorts(44100, chans);
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(written, dskFulErr);
    const QString log = QString::fromUtf8(capture.finish());
    EXPECT_TRUE(log.contains(QStringLiteral("ExtAudioFileWrite FAILED! -34 (%1: %2)")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(EFBIG)))))
        << log.toStdString();
    EXPECT_FALSE(log.contains(QChar(0xFFFD))); // no raw status bytes
}
