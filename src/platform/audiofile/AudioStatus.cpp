#include "platform/audiofile/AudioStatus.h"

#include "platform/ffmpeg/FFmpegHandles.h"

#include <cerrno>
#include <cstring>

namespace quorvel {

namespace {
// The last status made from a system error on this thread, and that error.
thread_local OSStatus lastStatus = noErr;
thread_local int lastErrno = 0;

OSStatus remember(OSStatus status, int averror) {
    // FFmpeg's own errors are tags far below -4095; the system's are -errno.
    const bool system = averror < 0 && averror > -4096;
    lastStatus = system ? status : noErr;
    lastErrno = system ? -averror : 0;
    return status;
}

OSStatus translate(int averror, OSStatus fallback) {
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
} // namespace

OSStatus statusFromAVError(int averror, OSStatus fallback) { return remember(translate(averror, fallback), averror); }

QString systemReasonForStatus(OSStatus status) {
    const bool fromSystem = status == dskFulErr || status == kAudioFilePermissionsError ||
                            status == kAudio_FileNotFoundError || status == kAudio_MemFullError;
    if (!fromSystem || status != lastStatus || lastErrno == 0) return QString();
    return QString::fromLocal8Bit(std::strerror(lastErrno));
}

} // namespace quorvel
