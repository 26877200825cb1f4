#include "pipeline/EAFWrite.h"

#include "pipeline/AudioBuffers.h"
#include "platform/audiofile/AudioStatus.h"

#include <algorithm>
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
    ExtAudioFileRef wrapped = nullptr;
    err = ExtAudioFileWrapAudioFileID(mAfid, true, &wrapped);
    mOutputAudioFile.reset(wrapped);
    if (err != noErr) {
        reportFailure("ExtAudioFileWrapAudioFileID", err);
        return err;
    }
    err = ExtAudioFileSetProperty(mOutputAudioFile.get(), kExtAudioFileProperty_ClientDataFormat, sizeof mOutputFormat,
                                  &mOutputFormat);
    if (err != noErr) {
        reportFailure("ExtAudioFileSetProperty", err);
        return err;
    }
    return noErr;
}

template <class Fill> OSStatus EAFWrite::write(uint32_t numFrames, Fill fill) {
    const UInt32 channels = mStreamFormat.mChannelsPerFrame;
    // One block list for the whole file, grown when a larger block comes.
    if (!mBlock || numFrames > mBlockFrames) {
        mBlock.reset(AllocateAudioBufferList(channels, (unsigned long)numFrames * 2));
        mBlockFrames = mBlock ? numFrames : 0;
        if (!mBlock) return -1;
    }
    AudioBuffer* buffers = mBlock->mBuffers; // one buffer per channel
    for (UInt32 c = 0; c < channels; ++c) {
        buffers[c].mDataByteSize = numFrames * 2;
        fill(c, static_cast<int16_t*>(buffers[c].mData));
    }
    OSStatus err = ExtAudioFileWrite(mOutputAudioFile.get(), numFrames, mBlock.get());
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
        if (!in) { // a silent channel
            std::fill_n(out, numFrames, int16_t(0));
            return;
        }
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
        const int16_t* in = audio[c];
        if (in) std::copy_n(in, numFrames, out);
        else std::fill_n(out, numFrames, int16_t(0)); // a silent channel
    });
}

OSStatus EAFWrite::closeFile() {
    OSStatus first = noErr;
    if (mAfid) AudioFileOptimize(mAfid);
    if (mOutputAudioFile) {
        // Disposed of here, not by the owner: its status says whether the last samples were written.
        if (OSStatus err = ExtAudioFileDispose(mOutputAudioFile.release()); err != noErr) {
            reportFailure("ExtAudioFileDispose", err);
            first = err;
        }
    }
    mBlock.reset();
    mBlockFrames = 0;
    if (mAfid) {
        if (OSStatus err = AudioFileClose(mAfid); err != noErr) {
            reportFailure("AudioFileClose", err);
            if (first == noErr) first = err;
        }
        mAfid = nullptr;
    }
    std::fflush(nullptr);
    return first;
}

} // namespace quorvel
