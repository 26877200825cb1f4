#include "AudioBuffers.h"
#include "EAFRead.h"
#include "EAFWrite.h"
#include "AudioTestFiles.h"
#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

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
