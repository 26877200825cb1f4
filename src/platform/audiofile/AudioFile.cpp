#include "platform/audiofile/AudioFile.h"

#include "platform/audiofile/AudioFileEncoder.h"

namespace quorvel {

OSStatus AudioFileCreateWithURL(const QUrl& url, AudioFileTypeID type, const AudioStreamBasicDescription* format,
                                AudioFileFlags flags, AudioFileID* outFile) {
    if (!outFile) return kAudio_ParamError;
    *outFile = nullptr;
    if (!format || !url.isLocalFile()) return kAudio_ParamError;
    OSStatus status = noErr;
    std::unique_ptr<AudioFileEncoder> file =
        AudioFileEncoder::create(url.toLocalFile(), type, *format, flags, &status);
    if (!file) return status;
    *outFile = new OpaqueAudioFileID{std::move(file)};
    return noErr;
}

OSStatus AudioFileOptimize(AudioFileID file) {
    if (!file || !file->file->isOpen()) return kAudioFileNotOpenError;
    return noErr;
}

OSStatus AudioFileClose(AudioFileID file) {
    if (!file) return kAudioFileNotOpenError;
    // A wrapper that is still alive keeps the object, but sees it closed.
    OSStatus status = file->file->close();
    delete file;
    return status;
}

} // namespace quorvel
