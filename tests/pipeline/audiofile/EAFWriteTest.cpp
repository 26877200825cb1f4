#include "AudioBuffers.h"
#include "EAFRead.h"
#include "EAFWrite.h"
#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QUrl fileUrl(const QString& path) { return QUrl::fromLocalFile(path); }

// Reads the whole file as 16-bit samples of one channel at 44,100 Hz.
std::vector<int16_t> readAllShorts(const QString& path, double rate = 44100, int channels = 1) {
    EAFRead reader;
    EXPECT_EQ(reader.openFileForRead(fileUrl(path), rate, channels), 0);
    std::vector<int16_t> all;
    std::vector<std::vector<int16_t>> chans(size_t(channels), std::vector<int16_t>(4096));
    std::vector<int16_t*> ptrs;
    for (auto& c : chans) ptrs.push_back(c.data());
    for (;;) {
        int32_t n = reader.readShortsConsecutive(4096, ptrs.data());
        EXPECT_GE(n, 0);
        if (n <= 0) break;
        for (int32_t j = 0; j < n; ++j)
            for (int c = 0; c < channels; ++c) all.push_back(chans[size_t(c)][size_t(j)]);
    }
    return all;
}

} // namespace

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
    EXPECT_EQ(readAllShorts(path), tone);
}
