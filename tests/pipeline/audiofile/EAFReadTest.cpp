#include "pipeline/EAFRead.h"
#include "AudioTestFiles.h"
#include "TestSupport.h"
#include "pipeline/AudioBuffers.h"
#include "platform/core/Log.h"

#include <QStringList>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QStringList logLines;
void captureLog(const QString& line) { logLines << line; }

// Frequency from the rising zero crossings, interpolated between samples.
double measureFrequency(const std::vector<int16_t>& s, double rate) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double t = double(i - 1) + double(-s[i - 1]) / double(s[i] - s[i - 1]);
            if (first < 0) first = t;
            else ++crossings;
            last = t;
        }
    }
    return crossings > 0 ? crossings * rate / (last - first) : 0;
}

} // namespace

TEST(EAFRead, ReadsNearAndAfterTheEndZeroFillEveryChannel) {
    TempHome home;
    const QString path = home.path() + "/short.wav";
    std::vector<int16_t> stereo;
    for (int i = 0; i < 1000; ++i) stereo.insert(stereo.end(), {int16_t(i - 500), int16_t(-32768)});
    ASSERT_TRUE(writeWav16(path, stereo, 44100, 2));

    EAFRead reader;
    ASSERT_EQ(reader.openFileForRead(fileUrl(path), 44100, 2), 0);
    EXPECT_EQ(reader.fileNumFrames(), 1000);
    float** audio = AllocateAudioBuffer(2, 600);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(reader.readFloatsConsecutive(600, audio), 600);
    EXPECT_FLOAT_EQ(audio[0][0], -500 / 32768.0f);
    EXPECT_EQ(audio[1][599], -1.0f); // -32768 is exactly -1.0
    for (int c = 0; c < 2; ++c) std::fill(audio[c], audio[c] + 600, 7.0f);
    EXPECT_EQ(reader.readFloatsConsecutive(600, audio), 400);
    EXPECT_EQ(audio[0][399], 499 / 32768.0f);
    for (int c = 0; c < 2; ++c)
        for (int j = 400; j < 600; ++j) ASSERT_EQ(audio[c][j], 0.0f) << c << " " << j;
    for (int c = 0; c < 2; ++c) std::fill(audio[c], audio[c] + 600, 7.0f);
    EXPECT_EQ(reader.readFloatsConsecutive(600, audio), 0);
    for (int c = 0; c < 2; ++c)
        for (int j = 0; j < 600; ++j) ASSERT_EQ(audio[c][j], 0.0f);
    DeallocateAudioBuffer(audio, 2);
}

TEST(EAFRead, NullChannelIsSkippedAndShortsAreUnscaled) {
    TempHome home;
    const QString path = home.path() + "/two.wav";
    ASSERT_TRUE(writeWav16(path, {100, -200, 16384, 32767}, 44100, 2));
    EAFRead reader;
    ASSERT_EQ(reader.openFileForRead(fileUrl(path), 44100, 2), 0);
    int16_t right[4] = {9, 9, 9, 9};
    int16_t* chans[2] = {nullptr, right};
    EXPECT_EQ(reader.readShortsConsecutive(4, chans), 2);
    EXPECT_EQ(right[0], -200);
    EXPECT_EQ(right[1], 32767);
    EXPECT_EQ(right[2], 0);
    EXPECT_EQ(reader.readShortsConsecutive(4, nullptr), 0);
}

TEST(EAFRead, WithoutAFileReadsFailAndTheLengthIsZero) {
    EAFRead reader;
    float** audio = AllocateAudioBuffer(1, 16);
    EXPECT_EQ(reader.readFloatsConsecutive(16, audio), -1);
    EXPECT_EQ(reader.readShortsConsecutive(16, nullptr), -1);
    EXPECT_EQ(reader.fileNumFrames(), 0);
    EXPECT_EQ(reader.closeFile(), 0);
    DeallocateAudioBuffer(audio, 1);
}

TEST(EAFRead, FailedOpensAreLoggedInTheirOwnWordsAndLeaveNoFile) {
    TempHome home;
    logLines.clear();
    setLogSink(captureLog);
    EAFRead reader;
    EXPECT_EQ(reader.openFileForRead(fileUrl(home.path() + "/missing.mp3"), 44100, 1), -43);
    const QString path = home.path() + "/ok.wav";
    ASSERT_TRUE(writeWav16(path, sine(440, 0.1), 44100, 1));
    // A client format with no channels cannot be set: the file is not kept.
    EXPECT_EQ(reader.openFileForRead(fileUrl(path), 44100, 0), fourCC("fmt?"));
    EXPECT_EQ(reader.readShortsConsecutive(16, nullptr), -1);
    setLogSink(nullptr);
    EXPECT_EQ(logLines, QStringList({"!!! Error in ExtAudioFileOpen, -43",
                                     QString("!!! Error in ExtAudioFileSetProperty, %1").arg(fourCC("fmt?"))}));
}

TEST(EAFRead, FortyEightKilohertzStereoMp3ReadAsCdRateMonoKeepsLengthAndPitch) {
    TempHome home;
    const QString path = home.path() + "/tone48.mp3";
    // 1 kHz on the left, silence on the right: the average is a 1 kHz tone at half level.
    mustRun("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "aevalsrc=0.8*sin(2*PI*1000*t)|0:s=48000:d=6",
                       "-c:a", "libmp3lame", "-b:a", "192k", "-y", path});
    const std::vector<int16_t> native = ffmpegDecode(path, 2);
    const int64_t fileFrames = int64_t(native.size() / 2);

    EAFRead reader;
    ASSERT_EQ(reader.openFileForRead(fileUrl(path), 44100, 1), 0);
    EXPECT_EQ(reader.fileNumFrames(), fileFrames);
    const std::vector<int16_t> mono = readAllShorts(path, 44100, 1, 8192);
    const double expected = double(fileFrames) * 44100.0 / 48000.0;
    const double seconds = double(fileFrames) / 48000.0;
    EXPECT_NEAR(double(mono.size()), expected, seconds);

    // Measure away from the encoder's ramp at both ends.
    const std::vector<int16_t> middle(mono.begin() + 44100, mono.end() - 44100);
    EXPECT_NEAR(measureFrequency(middle, 44100), 1000.0, 0.5);
    int peak = 0;
    for (int16_t s : middle) peak = std::max(peak, std::abs(int(s)));
    EXPECT_NEAR(peak, 0.4 * 32768, 0.02 * 32768); // averaged, not summed
}
