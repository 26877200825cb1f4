// Two halves encoded on two threads and spliced: the file is what one encoder
// would have made, to the sample, and the seam cannot be heard.
#include "AudioCompare.h"
#include "MusicSignal.h"
#include "TestSupport.h"
#include "platform/aac/AacEncoder.h"
#include "platform/aac/Mp4AudioWriter.h"
#include "platform/aac/SplicedAacEncode.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

AacEncoder::Settings settingsFor(int channels) {
    AacEncoder::Settings settings;
    settings.channels = channels;
    settings.inputScale = 1.0f;
    return settings;
}

std::unique_ptr<Mp4AudioWriter> openWriter(const QString& path, const std::vector<uint8_t>& asc, int priming) {
    auto writer = Mp4AudioWriter::create(path);
    if (!writer) return nullptr;
    writer->setMovieTimeScale(44100);
    writer->addAudioTrack(44100, AacEncoder::kFrameSize, Mp4AudioWriter::kMpeg4AudioType);
    writer->setAudioProfileLevel(0x0F);
    writer->setDecoderSpecificInfo(asc.data(), asc.size());
    writer->setEdit(priming, 0);
    return writer;
}

// One encoder, one thread: the reference.
bool encodeWhole(const QString& path, const std::vector<float>& pcm, int channels) {
    AacEncoder encoder;
    if (!encoder.open(settingsFor(channels))) return false;
    auto writer = openWriter(path, encoder.audioSpecificConfig(), encoder.primingSamples());
    std::vector<uint8_t> out(size_t(encoder.maxOutputBytes()));
    for (size_t at = 0;;) {
        const int n = int(std::min<size_t>(size_t(encoder.inputSamples()), pcm.size() - at));
        const int bytes = encoder.encode(n ? pcm.data() + at : nullptr, n, out.data(), int(out.size()));
        at += size_t(n);
        if (bytes < 0) return false;
        if (bytes == 0 && n == 0) break;
        if (bytes > 0 && !writer->writeSample(out.data(), size_t(bytes))) return false;
    }
    writer->setEditDuration(int64_t(pcm.size()) / channels);
    return writer->close();
}

// A pull that hands `pcm` from `from` (per channel) in blocks of `block` frames.
SplicedAacEncode::Pull pullFrom(const std::vector<float>& pcm, int channels, int64_t from, int64_t block) {
    auto at = std::make_shared<size_t>(size_t(from * channels));
    return [&pcm, at, channels, block](std::vector<float>& out) {
        if (*at >= pcm.size()) return false;
        const size_t n = std::min(pcm.size() - *at, size_t(block * channels));
        out.assign(pcm.begin() + ptrdiff_t(*at), pcm.begin() + ptrdiff_t(*at + n));
        *at += n;
        return true;
    };
}

bool encodeSpliced(const QString& path, const std::vector<float>& pcm, int channels, int64_t split,
                   int64_t* samples) {
    SplicedAacEncode encode(settingsFor(channels), split);
    if (!encode.open(nullptr)) return false;
    auto writer = openWriter(path, encode.audioSpecificConfig(), encode.primingSamples());
    const bool ok = encode.run(pullFrom(pcm, channels, 0, 16384),
                               pullFrom(pcm, channels, split - SplicedAacEncode::kPreroll, 5000),
                               [&](const uint8_t* data, size_t size) { return writer->writeSample(data, size); },
                               nullptr);
    *samples = encode.samples();
    writer->setEditDuration(encode.samples());
    return ok && writer->close();
}

} // namespace

TEST(SplicedAacEncode, SplitPointIsAFrameBoundaryNearTheMiddleOrNone) {
    EXPECT_EQ(SplicedAacEncode::splitPoint(6 * 44100 - 1, 44100), 0); // under 6 s: one thread
    const int64_t total = int64_t(39.9 * 44100);
    const int64_t split = SplicedAacEncode::splitPoint(total, 44100);
    EXPECT_EQ(split % AacEncoder::kFrameSize, 0);
    // Balanced: each half encodes as many samples, rolls included, to a frame.
    EXPECT_LE(std::abs((split + SplicedAacEncode::kPostroll) - (total - split + SplicedAacEncode::kPreroll)),
              2 * AacEncoder::kFrameSize);
    // A second decoder of a 48 kHz source lands exactly where 147 output samples are 160 of its own.
    const int64_t aligned = SplicedAacEncode::splitPoint(total, 44100, 147);
    EXPECT_EQ((aligned - SplicedAacEncode::kPreroll) % 147, 0);
    EXPECT_EQ(aligned % AacEncoder::kFrameSize, 0);
    EXPECT_LE(std::abs(aligned - split), 147 * 1024 / 2 + AacEncoder::kFrameSize);
}

// Mono as the AAC writer's road makes it, stereo as the export service does.
TEST(SplicedAacEncode, SplicedFileMatchesOneEncoderToTheSampleAndHasNoClick) {
    QTemporaryDir dir;
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const int frames = int(39.9 * 44100) + 77; // not a whole number of frames
        const std::vector<float> pcm = musicLike(frames, channels, 11);
        const int64_t split = SplicedAacEncode::splitPoint(frames, 44100);
        ASSERT_GT(split, 0);
        const QString whole = dir.filePath(QStringLiteral("whole%1.m4a").arg(channels));
        const QString spliced = dir.filePath(QStringLiteral("spliced%1.m4a").arg(channels));
        int64_t samples = 0;
        ASSERT_TRUE(encodeWhole(whole, pcm, channels));
        ASSERT_TRUE(encodeSpliced(spliced, pcm, channels, split, &samples));
        EXPECT_EQ(samples, frames);

        // Length exact, and one priming and one end: as many packets as one encoder's.
        EXPECT_NEAR(probeDuration(spliced), frames / 44100.0, 0.5 / 44100);
        EXPECT_EQ(packetCount(spliced), packetCount(whole));
        EXPECT_EQ(probeStreamField(spliced, "profile"), "LC");

        const SpliceFigures f = compareSplice(whole, spliced, size_t(frames), size_t(split));
        ASSERT_TRUE(f.decoded);
        std::printf("channels %d: correlation %.6f, difference about the seam %.2e, loudest elsewhere %.2e\n",
                    channels, f.correlation, f.seam, f.loudestElsewhere);
        EXPECT_GT(f.correlation, 0.999);
        // No click: the seam is no louder than any two frames after it, where
        // the two encoders differ.
        EXPECT_LE(f.seam, f.loudestElsewhere);
        // And the spliced file is as true to the input as one encoder's.
        std::vector<float> input;
        for (int i = 0; i < frames; ++i) input.push_back(pcm[size_t(i) * channels]);
        EXPECT_GT(correlation(f.spliced, input), correlation(f.whole, input) - 0.0005);
    }
}

TEST(SplicedAacEncode, AFirstHalfThatEndsEarlyIsTheWholeStretch) {
    QTemporaryDir dir;
    const int frames = 8 * 44100;
    const std::vector<float> pcm = musicLike(frames, 1, 3);
    // Planned for a longer stretch than came: the first half is all there is.
    const int64_t split = SplicedAacEncode::splitPoint(20 * 44100, 44100);
    ASSERT_GT(split + SplicedAacEncode::kPostroll, frames);
    const QString whole = dir.filePath("whole.m4a"), spliced = dir.filePath("spliced.m4a");
    int64_t samples = 0;
    ASSERT_TRUE(encodeWhole(whole, pcm, 1));
    ASSERT_TRUE(encodeSpliced(spliced, pcm, 1, split, &samples));
    EXPECT_EQ(samples, frames);
    EXPECT_NEAR(probeDuration(spliced), frames / 44100.0, 0.5 / 44100);
    EXPECT_EQ(decodeFirstChannel(spliced), decodeFirstChannel(whole)); // the same encoder on the same input
}
