#pragma once
// The platform's C-style audio types, constants and status codes, so that code
// above this layer reads like it does on the phone.
#include "platform/core/OSStatus.h"

#include <cstddef>
#include <cstdint>

namespace quorvel {

using UInt32 = uint32_t;
using SInt64 = int64_t;
using Float64 = double;
using AudioFormatID = uint32_t;
using AudioFormatFlags = uint32_t;
using AudioFileTypeID = uint32_t;
using AudioFileFlags = uint32_t;
using ExtAudioFilePropertyID = uint32_t;

struct AudioStreamBasicDescription {
    Float64 mSampleRate;
    AudioFormatID mFormatID;
    AudioFormatFlags mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40);

struct AudioBuffer {
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

// A count followed by that many buffers; lists with more than one buffer are
// allocated with room for the extra entries behind the struct.
struct AudioBufferList {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
};

// Bytes needed for a list of `buffers` buffers.
constexpr size_t audioBufferListSize(size_t buffers) {
    return offsetof(AudioBufferList, mBuffers) + (buffers ? buffers : 1) * sizeof(AudioBuffer);
}

// Format IDs.
constexpr AudioFormatID kAudioFormatLinearPCM = fourCC("lpcm");
constexpr AudioFormatID kAudioFormatAppleIMA4 = fourCC("ima4");
constexpr AudioFormatID kAudioFormatMPEG4AAC = fourCC("aac ");
constexpr AudioFormatID kAudioFormatAppleLossless = fourCC("alac");
constexpr AudioFormatID kAudioFormatMPEGLayer3 = fourCC(".mp3");

// Format flags.
constexpr AudioFormatFlags kAudioFormatFlagIsFloat = 1u << 0;
constexpr AudioFormatFlags kAudioFormatFlagIsBigEndian = 1u << 1;
constexpr AudioFormatFlags kAudioFormatFlagIsSignedInteger = 1u << 2;
constexpr AudioFormatFlags kAudioFormatFlagIsPacked = 1u << 3;
constexpr AudioFormatFlags kAudioFormatFlagIsNonInterleaved = 1u << 5;
constexpr AudioFormatFlags kMPEG4Object_AAC_LC = 2;

// File types.
constexpr AudioFileTypeID kAudioFileWAVEType = fourCC("WAVE");
constexpr AudioFileTypeID kAudioFileAIFFType = fourCC("AIFF");
constexpr AudioFileTypeID kAudioFileAIFCType = fourCC("AIFC");
constexpr AudioFileTypeID kAudioFileCAFType = fourCC("caff");
constexpr AudioFileTypeID kAudioFileM4AType = fourCC("m4af");
constexpr AudioFileTypeID kAudioFileNextType = fourCC("NeXT");
constexpr AudioFileTypeID kAudioFileSoundDesigner2Type = fourCC("Sd2f");

constexpr AudioFileFlags kAudioFileFlags_EraseFile = 1;

// Properties of an extended audio file.
constexpr ExtAudioFilePropertyID kExtAudioFileProperty_FileDataFormat = fourCC("ffmt");
constexpr ExtAudioFilePropertyID kExtAudioFileProperty_ClientDataFormat = fourCC("cfmt");
constexpr ExtAudioFilePropertyID kExtAudioFileProperty_FileLengthFrames = fourCC("#frm");

// Status codes.
constexpr OSStatus kAudio_ParamError = -50;
constexpr OSStatus kAudio_MemFullError = -108;
constexpr OSStatus kAudio_FileNotFoundError = -43;
constexpr OSStatus dskFulErr = -34;
constexpr OSStatus kAudioFileNotOpenError = -38;
constexpr OSStatus kAudioFileUnspecifiedError = fourCC("wht?");
constexpr OSStatus kAudioFileUnsupportedFileTypeError = fourCC("typ?");
constexpr OSStatus kAudioFileUnsupportedDataFormatError = fourCC("fmt?");
constexpr OSStatus kAudioFileInvalidFileError = fourCC("dta?");
constexpr OSStatus kAudioFilePermissionsError = fourCC("prm?");
constexpr OSStatus kExtAudioFileError_InvalidProperty = -66561;
constexpr OSStatus kExtAudioFileError_InvalidPropertySize = -66562;
constexpr OSStatus kExtAudioFileError_NonPCMClientFormat = -66563;
constexpr OSStatus kExtAudioFileError_InvalidOperationOrder = -66565;
constexpr OSStatus kExtAudioFileError_InvalidDataFormat = -66566;

} // namespace quorvel
