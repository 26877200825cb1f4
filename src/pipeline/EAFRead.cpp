#include "pipeline/EAFRead.h"

#include "platform/core/Log.h"

#include <cmath>
#include <memory>
#include <new>

namespace quorvel {

EAFRead::EAFRead() = default;

EAFRead::~EAFRead() { closeFile(); }

OSStatus EAFRead::openFileForRead(const QUrl& url, double sr, int channels) {
    // Opening again must not leak the file opened before.
    closeFile();
    ExtAudioFileRef opened = nullptr;
    OSStatus err = ExtAudioFileOpenURL(url, &opened);
    if (err != noErr) {
        NSLog("!!! Error in ExtAudioFileOpen, %d", err);
        return err;
    }
    // Disposed of on every early return; kept only once the client format is set.
    ExtAudioFilePtr ref(opened);

    AudioStreamBasicDescription fileFormat{};
    UInt32 size = sizeof fileFormat;
    err = ExtAudioFileGetProperty(ref.get(), kExtAudioFileProperty_FileDataFormat, &size, &fileFormat);
    if (err != noErr) {
        NSLog("!!! Error in ExtAudioFileGetProperty, %d", err);
        return err;
    }
    extAFRateRatio = sr / fileFormat.mSampleRate;

    AudioStreamBasicDescription client{};
    client.mSampleRate = sr;
    client.mFormatID = kAudioFormatLinearPCM;
    client.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    client.mBitsPerChannel = 16;
    client.mChannelsPerFrame = UInt32(channels);
    client.mFramesPerPacket = 1;
    client.mBytesPerFrame = client.mBytesPerPacket = UInt32(2 * channels);
    client.mReserved = 0;
    err = ExtAudioFileSetProperty(ref.get(), kExtAudioFileProperty_ClientDataFormat, sizeof client, &client);
    if (err != noErr) {
        NSLog("!!! Error in ExtAudioFileSetProperty, %d", err);
        return err; // a file that cannot deliver the asked format is not kept open
    }
    extAFRef = std::move(ref);
    extAFNumChannels = channels;
    return noErr;
}

template <class Store> int32_t EAFRead::readConsecutive(int64_t numFrames, Store store) {
    if (!extAFRef) return -1;
    const int64_t channels = extAFNumChannels;
    // The service takes 32-bit frame and byte counts.
    if (numFrames < 0 || numFrames * channels * 2 > int64_t(UINT32_MAX)) return kAudio_ParamError;

    // Room for the frames asked for, with a margin by the rate ratio.
    const int64_t samples = channels * numFrames;
    double size = (extAFRateRatio >= 1.0 || std::isnan(extAFRateRatio)) ? double(samples) * extAFRateRatio
                                                                         : double(samples) / extAFRateRatio;
    if (!std::isfinite(size) || size < double(samples)) size = double(samples);
    std::unique_ptr<int16_t[]> data(new (std::nothrow) int16_t[size_t(size + 0.5) + 1]);
    if (!data) {
        NSLog("data is nil");
        // Nothing was read: say so rather than pass off untouched arrays as audio.
        return kAudio_MemFullError;
    }

    AudioBufferList list{};
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = UInt32(channels);
    list.mBuffers[0].mDataByteSize = UInt32(numFrames * channels * 2);
    list.mBuffers[0].mData = data.get();
    UInt32 frames = UInt32(numFrames);
    OSStatus err = ExtAudioFileRead(extAFRef.get(), &frames, &list);
    if (err != noErr) return err;

    for (int64_t c = 0; c < channels; ++c)
        for (int64_t j = 0; j < numFrames; ++j)
            store(int(c), j, j < int64_t(frames) ? data[size_t(j * channels + c)] : int16_t(0));
    return int32_t(frames);
}

int32_t EAFRead::readFloatsConsecutive(int64_t numFrames, float** audio) {
    return readConsecutive(numFrames, [audio](int c, int64_t j, int16_t v) {
        if (audio && audio[c]) audio[c][j] = float(v) * 3.0517578125e-05f; // 2^-15: -32768 is -1.0
    });
}

int32_t EAFRead::readShortsConsecutive(int64_t numFrames, int16_t** audio) {
    return readConsecutive(numFrames, [audio](int c, int64_t j, int16_t v) {
        if (audio && audio[c]) audio[c][j] = v;
    });
}

int64_t EAFRead::fileNumFrames() {
    std::lock_guard guard(lock_);
    if (!extAFRef) return 0;
    SInt64 frames = 0;
    UInt32 size = sizeof frames;
    OSStatus err = ExtAudioFileGetProperty(extAFRef.get(), kExtAudioFileProperty_FileLengthFrames, &size, &frames);
    if (err != noErr) {
        NSLog("!!! Error in ExtAudioFileGetProperty kExtAudioFileProperty_FileLengthFrames, %d", err);
        return 0;
    }
    return frames;
}

int64_t EAFRead::clientNumFrames() {
    const double frames = double(fileNumFrames()) * extAFRateRatio;
    return std::isfinite(frames) && frames > 0 ? int64_t(std::llround(frames)) : 0;
}

OSStatus EAFRead::closeFile() {
    extAFRef.reset();
    return noErr;
}

} // namespace quorvel
