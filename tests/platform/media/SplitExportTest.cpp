// The AppleM4A export on both cores (two decoders, two encoders, one spliced
// track) against the same export on one, for the sources whose second
// decoder lands differently: an MP3 read from its start, an M4A that seeks,
// a 48 kHz WAV that is resampled; and on four cores, where each half's
// decoder runs ahead on a thread of its own.
#include "AudioCompare.h"
#include "MediaTestSongs.h"
#include "TestSupport.h"
#include "platform/aac/SplicedAacEncode.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/media/AVAudioMix.h"
#include "platform/media/AppleM4AExporter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <numeric>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 50 s of stereo music-like sound at 48 kHz: gliding tones, a tremolo and noise.
QString musicAt48k(const QString& folder) {
    const QString path = folder + QStringLiteral("/music48k.wav");
    runTool(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
             QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("aevalsrc=0.3*sin(2*PI*(220+20*sin(0.1*t))*t)+0.2*sin(2*PI*3330*t)*sin(PI*t/4)|"
                            "0.3*sin(2*PI*(277+15*sin(0.13*t))*t)+0.2*sin(2*PI*440*t):s=48000:d=50"),
             QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("anoisesrc=a=0.05:d=50:r=48000:s=5"), QStringLiteral("-filter_complex"),
             QStringLiteral("[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0"),
             QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), path});
    return path;
}

std::shared_ptr<AVAudioMix> fades(double start, double length) {
    auto parameters = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(1);
    parameters->setVolume(0.0f, kCMTimeZero);
    parameters->setVolumeRamp(0.0f, 1.0f, CMTimeRangeMake(CMTimeMakeWithSeconds(start, 10), CMTimeMake(15, 10)));
    parameters->setVolumeRamp(1.0f, 0.0f,
                              CMTimeRangeMake(CMTimeMakeWithSeconds(start + length - 3.0, 10), CMTimeMake(30, 10)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({parameters});
    return mix;
}

} // namespace

TEST(SplitExport, BothCoresWriteWhatOneEncoderWritesToTheSample) {
    QTemporaryDir dir;
    const struct {
        QString source;
        int rate;
    } sources[] = {{MediaTestSongs::shared().song(QStringLiteral("mp3")), 44100},
                   {MediaTestSongs::shared().song(QStringLiteral("m4a")), 44100},
                   {musicAt48k(dir.path()), 48000}};
    const double start = 5.0, length = 39.9;
    for (const auto& s : sources) {
        SCOPED_TRACE(s.source.toStdString());
        AssetExportJob job;
        job.sourcePath = s.source;
        job.fileType = AVFileTypeAppleM4A;
        job.range = CMTimeRangeMake(CMTimeMake(5000, 1000), CMTimeMake(39900, 1000));
        job.mix = fades(start, length);
        NSError error;
        const QString one = dir.filePath(QStringLiteral("one.m4r")), two = dir.filePath(QStringLiteral("two.m4r"));
        QFile::remove(one);
        QFile::remove(two);
        job.outputPath = one;
        ASSERT_EQ(AppleM4AExporter::run(job, &error, 1), AssetExportResult::Completed) << error.description().toStdString();
        job.outputPath = two;
        ASSERT_EQ(AppleM4AExporter::run(job, &error, 2), AssetExportResult::Completed) << error.description().toStdString();
        // On four cores each half decodes ahead on a thread of its own; the
        // encoders take the same samples, so the file is the same.
        const QString four = dir.filePath(QStringLiteral("four.m4r"));
        QFile::remove(four);
        job.outputPath = four;
        ASSERT_EQ(AppleM4AExporter::run(job, &error, 4), AssetExportResult::Completed) << error.description().toStdString();
        EXPECT_TRUE(readAll(four) == readAll(two));

        const int64_t frames = llround(length * 44100);
        EXPECT_NEAR(probeDuration(two), length, 0.5 / 44100);
        EXPECT_EQ(packetCount(two), packetCount(one));
        EXPECT_EQ(probeStreamField(two, QStringLiteral("profile")), QStringLiteral("LC"));
        EXPECT_EQ(probeStreamField(two, QStringLiteral("channels")), QStringLiteral("2"));
        const int64_t split = SplicedAacEncode::splitPoint(frames, 44100, 44100 / std::gcd(44100, s.rate));
        ASSERT_GT(split, 0);
        const SpliceFigures f = compareSplice(one, two, size_t(frames), size_t(split));
        ASSERT_TRUE(f.decoded);
        std::printf("%s: correlation %.6f, difference about the seam %.2e, loudest elsewhere %.2e\n",
                    qPrintable(s.source.section(QLatin1Char('/'), -1)), f.correlation, f.seam, f.loudestElsewhere);
        EXPECT_GT(f.correlation, 0.999);
        EXPECT_LE(f.seam, f.loudestElsewhere); // no click
    }
}
