#include "AudioStatus.h"

#include "FFmpegHandles.h"

#include <cerrno>

namespace quorvel {

OSStatus statusFromAVError(int averror, OSStatus fallback) {
    if (averror >= 0) return noErr;
    if (averror == AVERROR(ENOENT) || averror == AVERROR(ENOTDIR)) return kAudio_FileNotFoundError;
    if (averror == AVERROR(EACCES) || averror == AVERROR(EPERM) || averror == AVERROR(EROFS))
        return kAudioFilePermissionsError;
    if (averror == AVERROR(ENOMEM)) return kAudio_MemFullError;
    if (averror == AVERROR(ENOSPC) || averror == AVERROR(EDQUOT) || averror == AVERROR(EFBIG)) return dskFulErr;
    if (averror == AVERROR_INVALIDDATA) return kAudioFileInvalidFileError;
    if (averror == AVERROR_DECODER_NOT_FOUND || averror == AVERROR_ENCODER_NOT_FOUND ||
        averror == AVERROR_PATCHWELCOME)
        return kAudioFileUnsupportedDataFormatError;
    return fallback;
}

} // namespace quorvel
