#include "platform/audiofile/ExtAudioFile.h"
#include "TestSupport.h"
#include "platform/audiofile/AudioFile.h"
#include "platform/audiofile/AudioStatus.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>
extern "C" {
#include <libavutil/error.h>
}

using namespace quorvel;
using namespace quorvel::test;

namespace {

QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

void run(const QString& tool, const QStringList& args) {
    ToolResult r = runTool(tool, args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
}

// Runs the tool with `output` as its last argument and returns that file's bytes.
QByteArray toolOutput(const QString& tool, QStringList args, const QString& output) {
    args << output;
    if (runTool(tool, args).exitCode != 0) return {};
    QFile f(output);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

AudioStreamBasicDescription pcmClient(double rate, UInt32 channels, bool isFloat, bool planar) {
    AudioStreamBasicDescription f{};
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = (isFloat ? kAudioFormatFlagIsFloat : kAudioFormatFlagIsSignedInteger) | kAudioFormatFlagIsPacked |
                     (planar ? kAudioFormatFlagIsNonInterleaved : 0);
    f.mBitsPerChannel = isFloat ? 32 : 16;
    f.mChannelsPerFrame = channels;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = f.mBytesPerPacket = (isFloat ? 4 : 2) * (planar ? 1 : channels);
    return f;
}

AudioStreamBasicDescription fileFormatOf(ExtAudioFileRef f) {
    AudioStreamBasicDescription d{};
    UInt32 size = sizeof d;
    EXPECT_EQ(ExtAudioFileGetProperty(f, kExtAudioFileProperty_FileDataFormat, &size, &d), noErr);
    return d;
}

SInt64 lengthOf(ExtAudioFileRef f) {
    SInt64 frames = -1;
    UInt32 size = sizeof frames;
    EXPECT_EQ(ExtAudioFileGetProperty(f, kExtAudioFileProperty_FileLengthFrames, &size, &frames), noErr);
    return frames;
}

// Reads everything in the current client format (interleaved) as raw bytes.
QByteArray readAll(ExtAudioFileRef f, UInt32 bytesPerFrame, UInt32 channels) {
    QByteArray out;
    std::vector<char> buffer(1000 * bytesPerFrame);
    for (;;) {
        AudioBufferList list{1, {{channels, UInt32(buffer.size()), buffer.data()}}};
        UInt32 frames = 1000;
        EXPECT_EQ(ExtAudioFileRead(f, &frames, &list), noErr);
        if (frames == 0) break;
        EXPECT_EQ(list.mBuffers[0].mDataByteSize, frames * bytesPerFrame);
        out.append(buffer.data(), qsizetype(frames * bytesPerFrame));
    }
    return out;
}

} // namespace

TEST(ExtAudioFile, FileFormatsAreDescribedInThePlatformsTerms) {
    TempHome home;
    const QString wav = home.path() + "/s24.wav";
    run("sox", {"-n", "-r", "48000", "-c", "2", "-b", "24", wav, "synth", "0.5", "sine", "440"});
    struct Case {
        QString path;
        AudioFormatID id;
        UInt32 bits, framesPerPacket;
    };
    const QString mp3 = home.path() + "/a.mp3", aac = home.path() + "/a.m4a", alac = home.path() + "/b.m4a";
    run("ffmpeg", {"-v", "error", "-i", wav, "-y", mp3});
    run("ffmpeg", {"-v", "error", "-i", wav, "-c:a", "aac", "-y", aac});
    run("ffmpeg", {"-v", "error", "-i", wav, "-c:a", "alac", "-y", alac});
    for (const Case& c : {Case{wav, kAudioFormatLinearPCM, 24, 1}, Case{mp3, kAudioFormatMPEGLayer3, 0, 1152},
                          Case{aac, kAudioFormatMPEG4AAC, 0, 1024}, Case{alac, kAudioFormatAppleLossless, 0, 4096}}) {
        ExtAudioFileRef f = nullptr;
        ASSERT_EQ(ExtAudioFileOpenURL(url(c.path), &f), noErr);
        const AudioStreamBasicDescription d = fileFormatOf(f);
        EXPECT_EQ(d.mFormatID, c.id) << c.path.toStdString();
        EXPECT_EQ(d.mSampleRate, 48000.0);
        EXPECT_EQ(d.mChannelsPerFrame, 2u);
        EXPECT_EQ(d.mBitsPerChannel, c.bits);
        EXPECT_EQ(d.mFramesPerPacket, c.framesPerPacket);
        if (c.id == kAudioFormatLinearPCM) {
            EXPECT_EQ(d.mFormatFlags, kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked);
            EXPECT_EQ(d.mBytesPerFrame, 6u);
            EXPECT_EQ(lengthOf(f), 24000);
        }
        ExtAudioFileDispose(f);
    }
}

TEST(ExtAudioFile, PropertyMisuseIsRefused) {
    TempHome home;
    const QString path = home.path() + "/t.wav";
    ASSERT_TRUE(writeWav16(path, sine(440, 0.2), 44100, 1));
    ExtAudioFileRef f = nullptr;
    ASSERT_EQ(ExtAudioFileOpenURL(url(path), &f), noErr);
    AudioStreamBasicDescription d{};
    UInt32 size = 39;
    EXPECT_EQ(ExtAudioFileGetProperty(f, kExtAudioFileProperty_FileDataFormat, &size, &d),
              kExtAudioFileError_InvalidPropertySize);
    SInt64 frames = 0;
    size = 4;
    EXPECT_EQ(ExtAudioFileGetProperty(f, kExtAudioFileProperty_FileLengthFrames, &size, &frames),
              kExtAudioFileError_InvalidPropertySize);
    size = sizeof d;
    EXPECT_EQ(ExtAudioFileGetProperty(f, fourCC("nope"), &size, &d), kExtAudioFileError_InvalidProperty);
    EXPECT_EQ(ExtAudioFileSetProperty(f, kExtAudioFileProperty_FileDataFormat, sizeof d, &d),
              kExtAudioFileError_InvalidProperty);
    AudioStreamBasicDescription aac{};
    aac.mFormatID = kAudioFormatMPEG4AAC;
    aac.mSampleRate = 44100;
    aac.mChannelsPerFrame = 1;
    EXPECT_EQ(ExtAudioFileSetProperty(f, kExtAudioFileProperty_ClientDataFormat, sizeof aac, &aac),
              kExtAudioFileError_NonPCMClientFormat);
    AudioStreamBasicDescription planar = pcmClient(44100, 2, false, true);
    EXPECT_EQ(ExtAudioFileSetProperty(f, kExtAudioFileProperty_ClientDataFormat, sizeof planar, &planar),
              kAudioFileUnsupportedDataFormatError);
    // A list that does not match the client format is refused rather than overrun.
    int16_t small[4];
    AudioBufferList twoChannels{1, {{2, sizeof small, small}}};
    UInt32 count = 4;
    EXPECT_EQ(ExtAudioFileRead(f, &count, &twoChannels), kAudio_ParamError);
    // A buffer smaller than the frame count limits the read to what fits.
    AudioBufferList one{1, {{1, sizeof small, small}}};
    count = 1000;
    EXPECT_EQ(ExtAudioFileRead(f, &count, &one), noErr);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(ExtAudioFileDispose(f), noErr);
    EXPECT_EQ(ExtAudioFileRead(nullptr, &count, &one), kAudioFileNotOpenError);
}

TEST(ExtAudioFile, FloatClientMatchesIntegerClient) {
    TempHome home;
    const QString path = home.path() + "/st.wav";
    run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", "0.7", "sine", "300", "sine", "500"});
    ExtAudioFileRef a = nullptr, b = nullptr;
    ASSERT_EQ(ExtAudioFileOpenURL(url(path), &a), noErr);
    ASSERT_EQ(ExtAudioFileOpenURL(url(path), &b), noErr);
    AudioStreamBasicDescription s16 = pcmClient(22050, 1, false, false), f32 = pcmClient(22050, 1, true, false);
    ASSERT_EQ(ExtAudioFileSetProperty(a, kExtAudioFileProperty_ClientDataFormat, sizeof s16, &s16), noErr);
    ASSERT_EQ(ExtAudioFileSetProperty(b, kExtAudioFileProperty_ClientDataFormat, sizeof f32, &f32), noErr);
    const QByteArray ints = readAll(a, 2, 1), floats = readAll(b, 4, 1);
    ASSERT_EQ(ints.size() * 2, floats.size());
    EXPECT_NEAR(double(ints.size() / 2), 0.7 * 22050, 2);
    const auto* i16 = reinterpret_cast<const int16_t*>(ints.constData());
    const auto* f = reinterpret_cast<const float*>(floats.constData());
    for (qsizetype k = 0; k < ints.size() / 2; ++k) ASSERT_NEAR(f[k] * 32768.0f, i16[k], 1.0f) << k;
    ExtAudioFileDispose(a);
    ExtAudioFileDispose(b);
}

TEST(ExtAudioFile, LengthOfAVariableRateMp3WithoutSeekTableIsCountedExactly) {
    TempHome home;
    const QString path = home.path() + "/vbr.mp3";
    // Music-like content (tone bursts and noise) makes the frame sizes vary.
    run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                   "aevalsrc=if(lt(mod(t\\,2)\\,1)\\,0.5*sin(2*PI*440*t)\\,0.3*random(0)):s=44100:d=8", "-c:a",
                   "libmp3lame", "-q:a", "2", "-write_xing", "0", "-y", path});
    const QByteArray raw = toolOutput("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le"}, home.path() + "/vbr.raw");
    ASSERT_GT(raw.size(), 0);
    ExtAudioFileRef f = nullptr;
    ASSERT_EQ(ExtAudioFileOpenURL(url(path), &f), noErr);
    EXPECT_EQ(lengthOf(f), raw.size() / 2);
    ExtAudioFileDispose(f);
}

TEST(AudioFile, CreationReplacesOnlyWithTheEraseFlag) {
    TempHome home;
    const QString path = home.path() + "/keep.wav";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    AudioStreamBasicDescription wave = pcmClient(44100, 1, false, false);
    AudioFileID id = nullptr;
    EXPECT_EQ(AudioFileCreateWithURL(url(path), kAudioFileWAVEType, &wave, 0, &id), kAudioFilePermissionsError);
    EXPECT_EQ(id, nullptr);
    EXPECT_EQ(QFileInfo(path).size(), 8);
    EXPECT_EQ(AudioFileCreateWithURL(url(home.path() + "/no/such/dir.wav"), kAudioFileWAVEType, &wave,
                                     kAudioFileFlags_EraseFile, &id),
              kAudio_FileNotFoundError);
    AudioStreamBasicDescription zero{};
    EXPECT_EQ(AudioFileCreateWithURL(url(path), kAudioFileWAVEType, &zero, kAudioFileFlags_EraseFile, &id),
              kAudioFileUnsupportedDataFormatError);
    EXPECT_EQ(AudioFileCreateWithURL(url(path), fourCC("XXXX"), &wave, kAudioFileFlags_EraseFile, &id),
              kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(QFileInfo(path).size(), 8); // refused formats leave the old file alone
    ASSERT_EQ(AudioFileCreateWithURL(url(path), kAudioFileWAVEType, &wave, kAudioFileFlags_EraseFile, &id), noErr);
    EXPECT_EQ(AudioFileClose(id), noErr);
    EXPECT_EQ(QFileInfo(path).size(), 44);
}

TEST(AudioFile, NonInterleavedFloatStereoIsWrittenAndClosingOutOfOrderIsSafe) {
    TempHome home;
    const QString path = home.path() + "/st.aiff";
    AudioStreamBasicDescription aiff = pcmClient(44100, 2, false, false);
    aiff.mFormatFlags |= kAudioFormatFlagIsBigEndian;
    AudioFileID id = nullptr;
    ASSERT_EQ(AudioFileCreateWithURL(url(path), kAudioFileAIFFType, &aiff, kAudioFileFlags_EraseFile, &id), noErr);
    ExtAudioFileRef out = nullptr;
    ASSERT_EQ(ExtAudioFileWrapAudioFileID(id, true, &out), noErr);
    AudioStreamBasicDescription client = pcmClient(44100, 2, true, true);
    ASSERT_EQ(ExtAudioFileSetProperty(out, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client), noErr);
    std::vector<float> left(3000), right(3000);
    for (int i = 0; i < 3000; ++i) {
        left[size_t(i)] = float(i % 100) / 128.0f;
        right[size_t(i)] = -0.5f;
    }
    std::vector<char> listBytes(audioBufferListSize(2));
    auto* list = reinterpret_cast<AudioBufferList*>(listBytes.data());
    list->mNumberBuffers = 2;
    AudioBuffer* buffers = list->mBuffers;
    buffers[0] = {1, 3000 * 4, left.data()};
    buffers[1] = {1, 3000 * 4, right.data()};
    ASSERT_EQ(ExtAudioFileWrite(out, 3000, list), noErr);
    EXPECT_EQ(lengthOf(out), 3000);
    // Closing the file first completes it; the wrapper then refuses further data.
    EXPECT_EQ(AudioFileClose(id), noErr);
    EXPECT_EQ(ExtAudioFileWrite(out, 3000, list), kAudioFileNotOpenError);
    EXPECT_EQ(ExtAudioFileDispose(out), kAudioFileNotOpenError);

    EXPECT_EQ(probeStreamField(path, "codec_name"), "pcm_s16be");
    const QByteArray raw =
        toolOutput("sox", {path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L"}, home.path() + "/st.raw");
    ASSERT_EQ(raw.size(), 3000 * 4);
    const auto* s = reinterpret_cast<const int16_t*>(raw.constData());
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(s[2 * i], (i % 100) * 256) << i;
        ASSERT_EQ(s[2 * i + 1], -16384) << i;
    }
}

TEST(AudioStatus, AFullDiskKeepsTheSystemsOwnWords) {
    // FFmpeg reports the system's errors as negated errno values.
    EXPECT_EQ(statusFromAVError(-ENOSPC), dskFulErr);
    EXPECT_EQ(systemReasonForStatus(dskFulErr), QString::fromLocal8Bit(std::strerror(ENOSPC)));
    // A file-size limit is the same status, in other words.
    EXPECT_EQ(statusFromAVError(-EFBIG), dskFulErr);
    EXPECT_EQ(systemReasonForStatus(dskFulErr), QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_TRUE(systemReasonForStatus(kAudioFilePermissionsError).isEmpty()); // not the last status
    // A status that did not come from the system has no such words.
    EXPECT_EQ(statusFromAVError(AVERROR_INVALIDDATA), kAudioFileInvalidFileError);
    EXPECT_TRUE(systemReasonForStatus(dskFulErr).isEmpty());
    EXPECT_TRUE(systemReasonForStatus(kAudioFileInvalidFileError).isEmpty());
}
