// Loudness normalization read back by ffmpeg's own EBU R128 meter: a quiet
// and a loud song both come out at the target, under the true-peak ceiling,
// with the gain applied through the audio mix as every reader applies it.
#include "platform/media/LoudnessNormalizer.h"
#include "LoudnessSongs.h"
#include "TestSupport.h"
#include "platform/media/AVAudioMix.h"
#include "platform/media/SegmentDecoder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace quorvel;
using namespace quorvel::test;

namespace {

AssetExportJob jobFor(const QString& path, double start, double length, std::shared_ptr<AVAudioMix> mix) {
    AssetExportJob job;
    job.sourcePath = path;
    job.range = CMTimeRangeMake(CMTimeMakeWithSeconds(start, 1000), CMTimeMakeWithSeconds(length, 1000));
    job.mix = std::move(mix);
    return job;
}

// The job's range as its readers hear it, written as a 16-bit WAV.
bool writeMixed(const AssetExportJob& job, const QString& wav) {
    SegmentDecoder decoder(job);
    NSError error;
    if (!decoder.open(&error)) return false;
    std::vector<int16_t> pcm;
    std::vector<float> block;
    while (decoder.next(block, &error) == SegmentDecoder::Read::Samples)
        for (float s : block) pcm.push_back(int16_t(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f)));
    return writeWav16(wav, pcm, SegmentDecoder::kOutputRate, decoder.channels());
}

// A fade mix as the editor makes it: in over 1.5 s, out over 3 s.
std::shared_ptr<AVAudioMix> fades(double start, double length) {
    auto p = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(1);
    p->setVolume(0.0f, kCMTimeZero);
    p->setVolumeRamp(0.0f, 1.0f, CMTimeRangeMake(CMTimeMakeWithSeconds(start, 10), CMTimeMakeWithSeconds(1.5, 10)));
    p->setVolumeRamp(1.0f, 0.0f, CMTimeRangeMake(CMTimeMakeWithSeconds(start + length - 3.0, 10),
                                                 CMTimeMakeWithSeconds(3.0, 10)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({p});
    return mix;
}

} // namespace

TEST(LoudnessNormalizer, QuietAndLoudSongsReachTheTargetUnderTheCeiling) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        double lufs;
        bool mastered;
    };
    for (const Case& c : {Case{"quiet", -30.0, false}, Case{"loud", -8.0, true}}) {
        SCOPED_TRACE(c.name);
        const QString song = makeSongAtLoudness(dir.filePath(QString::fromLatin1(c.name) + ".wav"), c.lufs, c.mastered);
        ASSERT_FALSE(song.isEmpty());
        const double start = 4.0, length = 20.0;
        auto mix = fades(start, length);
        LoudnessNormalizer::Result result;
        NSError error;
        ASSERT_TRUE(LoudnessNormalizer::analyse(jobFor(song, start, length, mix), &result, &error))
            << error.localizedDescription.toStdString();
        EXPECT_NEAR(result.inputLufs, c.lufs, 1.0);
        ASSERT_TRUE(result.gain);
        mix->setLoudnessGain(result.gain);

        const QString out = dir.filePath(QString::fromLatin1(c.name) + "-normalized.wav");
        ASSERT_TRUE(writeMixed(jobFor(song, start, length, mix), out));
        const LoudnessReading r = readLoudness(out);
        EXPECT_NEAR(r.integratedLufs, LoudnessNormalizer::kTargetLufs, 0.5);
        EXPECT_LE(r.truePeakDbtp, LoudnessNormalizer::kTruePeakCeilingDb);
        // The fades are still there: the first samples are silent.
        EXPECT_FLOAT_EQ(mix->gainAt(start), 0.0f);
    }
}

TEST(LoudnessNormalizer, TheQuietSongIsLimitedAndTheCurveNeverExceedsItsLevel) {
    QTemporaryDir dir;
    const QString song = makeSongAtLoudness(dir.filePath("quiet.wav"), -30.0, false);
    ASSERT_FALSE(song.isEmpty());
    LoudnessNormalizer::Result result;
    NSError error;
    ASSERT_TRUE(LoudnessNormalizer::analyse(jobFor(song, 0.0, 10.0, nullptr), &result, &error));
    ASSERT_TRUE(result.gain);
    // +16 dB would lift the hits over the ceiling: the limiter acts there.
    EXPECT_TRUE(result.gain->isLimited());
    EXPECT_GT(result.gain->level(), std::pow(10.0f, 15.0f / 20.0f));
    float lowest = 1e9f;
    for (double t = 0; t < 10.0; t += 0.001) {
        EXPECT_LE(result.gain->gainAt(t), result.gain->level() * 1.0001f);
        lowest = std::min(lowest, result.gain->gainAt(t));
    }
    EXPECT_LT(lowest, result.gain->level() * 0.9f);
}

TEST(LoudnessNormalizer, SilenceIsLeftAlone) {
    const std::vector<float> silence(44100 * 5, 0.0f);
    const LoudnessNormalizer::Result result = LoudnessNormalizer::normalize(silence, 1, 44100, 0.0);
    EXPECT_FALSE(result.gain);
    EXPECT_TRUE(std::isinf(result.inputLufs));
}

TEST(LoudnessNormalizer, AnUnreadableSourceIsAnError) {
    LoudnessNormalizer::Result result;
    NSError error;
    EXPECT_FALSE(LoudnessNormalizer::analyse(jobFor("/nonexistent/song.wav", 0, 3, nullptr), &result, &error));
    EXPECT_FALSE(error.localizedDescription.isEmpty());
}
