#include "EAFWrite.h"

#include "AudioBuffers.h"
#include "AudioStatus.h"

#include <cmath>
#include <cstdio>

namespace quorvel {

void EAFWrite::reportFailure(const char* what, OSStatus err) const {
    // What happened, in the system's words where it has some, and to which file.
    const QString reason = systemReasonForStatus(err);
    std::fprintf(stderr, "%s FAILED! %s (%s%s%s)\n", what, formatOSStatus(err).toUtf8().constData(),
                 mPath.toUtf8().constData(), reason.isEmpty() ? "" : ": ", reason.toUtf8().constData());
}

EAFWrite::EAFWrite() = default;

EAFWrite::~EAFWrite() { closeFile(); }

void EAFWrite::SetupStreamAndFileFormatForType(uint32_t type, float sr, int channels, int wordlength) {
    mStreamFormat = AudioStreamBasicDescription{};
    const int depth = (wordlength / 8) * 8;
    auto linearPCM = [&](AudioFormatFlags flags) {
        mStreamFormat.mSampleRate = sr;
        mStreamFormat.mFormatID = kAudioFormatLinearPCM;
        mStreamFormat.mFormatFlags = flags;
        mStreamFormat.mBitsPerChannel = UInt32(depth);
        mStreamFormat.mChannelsPerFrame = UInt32(channels);
        mStreamFormat.mBytesPerFrame = UInt32((channels * depth) / 8);
        mStreamFormat.mFramesPerPacket = 1;
        mStreamFormat.mBytesPerPacket = mStreamFormat.mBytesPerFrame;
    };
    switch (type) {
    case kAudioFileWAVEType:
        linearPCM(kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked);
        break;
    case kAudioFileAIFFType:
    case kAudioFileNextType:
    case kAudioFileSoundDesigner2Type:
    case kAudioFileCAFType:
        linearPCM(kAudioFormatFlagIsBigEndian | kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked);
        break;
    case kAudioFileAIFCType:
        mStreamFormat.mSampleRate = sr;
        mStreamFormat.mChannelsPerFrame = UInt32(channels);
        mStreamFormat.mFormatID = kAudioFormatAppleIMA4;
        mStreamFormat.mFramesPerPacket = 1;
        break;
    case kAudioFileM4AType:
        mStreamFormat.mSampleRate = sr;
        mStreamFormat.mChannelsPerFrame = UInt32(channels);
        mStreamFormat.mFormatID = kAudioFormatMPEG4AAC;
        mStreamFormat.mFormatFlags = kMPEG4Object_AAC_LC;
        mStreamFormat.mFramesPerPacket = 1024;
        break;
    default:
        return; // format stays zero and mType unchanged: creating the file fails
    }
    mType = type;
}

OSStatus EAFWrite::openFileForWrite(const QUrl& url, double sr, int channels, int wordLength, uint32_t type) {
    // Opening again first completes the file opened before.
    closeFile();
    mPath = url.toLocalFile();
    SetupStreamAndFileFormatForType(type, float(sr), channels, wordLength);
    mAudioChannels = int32_t(mStreamFormat.mChannelsPerFrame);

    mOutputFormat = AudioStreamBasicDescription{};
    mOutputFormat.mSampleRate = sr;
    mOutputFormat.mFormatID = kAudioFormatLinearPCM;
    mOutputFormat.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsNonInterleaved;
    mOutputFormat.mBitsPerChannel = 16;
    mOutputFormat.mChannelsPerFrame = UInt32(mAudioChannels);
    mOutputFormat.mFramesPerPacket = 1;
    mOutputFormat.mBytesPerFrame = 2;
    mOutputFormat.mBytesPerPacket = 2;

    OSStatus err = AudioFileCreateWithURL(url, mType, &mStreamFormat, kAudioFileFlags_EraseFile, &mAfid);
    if (err != noErr) {
        reportFailure("AudioFileCreate", err);
        return err;
    }
    err = ExtAudioFileWrapAudioFileID(mAfid, true, &mOutputAudioFile);
    if (err != noErr) {
        reportFailure("ExtAudioFileWrapAudioFileID", err);
        return err;
    }
    err = ExtAudioFileSetProperty(mOutputAudioFile, kExtAudioFileProperty_ClientDataFormat, sizeof mOutputFormat,
                                  &mOutputFormat);
    if (err != noErr) {
        reportFailure("ExtAudioFileSetProperty", err);
        return err;
    }
    return noErr;
}

template <class Fill> OSStatus EAFWrite::write(uint32_t numFrames, Fill fill) {
    const UInt32 channels = mStreamFormat.mChannelsPerFrame;
    AudioBufferList* list = AllocateAudioBufferList(channels, (unsigned long)numFrames * 2);
    if (!list) return -1;
    AudioBuffer* buffers = list->mBuffers; // one buffer per channel
    for (UInt32 c = 0; c < channels; ++c) fill(c, static_cast<int16_t*>(buffers[c].mData));
    OSStatus err = ExtAudioFileWrite(mOutputAudioFile, numFrames, list);
    DestroyAudioBufferList(list);
    if (err != noErr) {
        reportFailure("ExtAudioFileWrite", err);
        return err;
    }
    return noErr;
}

OSStatus EAFWrite::writeFloats(uint32_t numFrames, float** audio) {
    if (!audio || numFrames == 0) return -1;
    return write(numFrames, [&](UInt32 c, int16_t* out) {
        float* in = audio[c];
        if (!in) return; // the buffer is zeroed: a silent channel
        for (uint32_t j = 0; j < numFrames; ++j) {
            float& v = in[j];
            if (double(v) > 0.999) v = 0.999f;
            else if (v < -1.0f) v = -1.0f;
            // NaN passes both tests; it is written as silence rather than converted.
            out[j] = std::isnan(v) ? int16_t(0) : int16_t(double(v) * 32768.0);
        }
    });
}

OSStatus EAFWrite::writeShorts(uint32_t numFrames, int16_t** audio) {
    if (!audio || numFrames == 0) return -1;
    return write(numFrames, [&](UInt32 c, int16_t* out) {
        if (const int16_t* in = audio[c])
            for (uint32_t j = 0; j < numFrames; ++j) out[j] = in[j];
    });
}

void EAFWrite::closeFile() {
    if (mAfid) AudioFileOptimize(mAfid);
    if (mOutputAudioFile) {
        if (OSStatus err = ExtAudioFileDispose(mOutputAudioFile); err != noErr)
            reportFailure("ExtAudioFileDispose", err);
        mOutputAudioFile = nullptr;
    }
    if (mAfid) {
        if (OSStatus err = AudioFileClose(mAfid); err != noErr) reportFailure("AudioFileClose", err);
        mAfid = nullptr;
    }
    std::fflush(nullptr);
}

} // namespace quorvel
