#include "platform/audiofile/ExtAudioFile.h"

#include "platform/audiofile/AudioFileDecoder.h"
#include "platform/audiofile/ExtAudioFileWriter.h"

#include <cstring>

namespace quorvel {

OpaqueExtAudioFile::~OpaqueExtAudioFile() = default;

OSStatus ExtAudioFileOpenURL(const QUrl& url, ExtAudioFileRef* outFile) {
    if (!outFile) return kAudio_ParamError;
    *outFile = nullptr;
    if (!url.isLocalFile()) return kAudio_FileNotFoundError;
    OSStatus status = noErr;
    std::unique_ptr<AudioFileDecoder> reader = AudioFileDecoder::open(url.toLocalFile(), &status);
    if (!reader) return status;
    *outFile = new OpaqueExtAudioFile{std::move(reader), nullptr};
    return noErr;
}

OSStatus ExtAudioFileWrapAudioFileID(AudioFileID file, bool forWriting, ExtAudioFileRef* outFile) {
    if (!outFile) return kAudio_ParamError;
    *outFile = nullptr;
    if (!file || !file->file->isOpen()) return kAudioFileNotOpenError;
    // Files made here are write-only; reading goes through ExtAudioFileOpenURL.
    if (!forWriting) return kExtAudioFileError_InvalidOperationOrder;
    *outFile = new OpaqueExtAudioFile{nullptr, std::make_unique<ExtAudioFileWriter>(file->file)};
    return noErr;
}

OSStatus ExtAudioFileGetProperty(ExtAudioFileRef file, ExtAudioFilePropertyID id, UInt32* ioSize, void* outData) {
    if (!file) return kAudioFileNotOpenError;
    if (!ioSize || !outData) return kAudio_ParamError;
    switch (id) {
    case kExtAudioFileProperty_FileDataFormat:
    case kExtAudioFileProperty_ClientDataFormat: {
        if (*ioSize != sizeof(AudioStreamBasicDescription)) return kExtAudioFileError_InvalidPropertySize;
        const bool fileFormat = id == kExtAudioFileProperty_FileDataFormat;
        const AudioStreamBasicDescription& f =
            file->reader ? (fileFormat ? file->reader->fileFormat() : file->reader->clientFormat())
                         : (fileFormat ? file->writer->fileFormat() : file->writer->clientFormat());
        std::memcpy(outData, &f, sizeof f);
        return noErr;
    }
    case kExtAudioFileProperty_FileLengthFrames: {
        if (*ioSize != sizeof(SInt64)) return kExtAudioFileError_InvalidPropertySize;
        SInt64 frames = 0;
        if (file->reader) {
            if (OSStatus s = file->reader->lengthFrames(&frames); s != noErr) return s;
        } else {
            frames = file->writer->framesWritten();
        }
        std::memcpy(outData, &frames, sizeof frames);
        return noErr;
    }
    default:
        return kExtAudioFileError_InvalidProperty;
    }
}

OSStatus ExtAudioFileSetProperty(ExtAudioFileRef file, ExtAudioFilePropertyID id, UInt32 size, const void* data) {
    if (!file) return kAudioFileNotOpenError;
    if (!data) return kAudio_ParamError;
    if (id != kExtAudioFileProperty_ClientDataFormat) return kExtAudioFileError_InvalidProperty;
    if (size != sizeof(AudioStreamBasicDescription)) return kExtAudioFileError_InvalidPropertySize;
    AudioStreamBasicDescription f;
    std::memcpy(&f, data, sizeof f);
    return file->reader ? file->reader->setClientFormat(f) : file->writer->setClientFormat(f);
}

OSStatus ExtAudioFileRead(ExtAudioFileRef file, UInt32* ioFrames, AudioBufferList* ioData) {
    if (!file) return kAudioFileNotOpenError;
    if (!file->reader) return kExtAudioFileError_InvalidOperationOrder;
    return file->reader->read(ioFrames, ioData);
}

OSStatus ExtAudioFileWrite(ExtAudioFileRef file, UInt32 frames, const AudioBufferList* data) {
    if (!file) return kAudioFileNotOpenError;
    if (!file->writer) return kExtAudioFileError_InvalidOperationOrder;
    return file->writer->write(frames, data);
}

OSStatus ExtAudioFileDispose(ExtAudioFileRef file) {
    if (!file) return kAudioFileNotOpenError;
    OSStatus status = file->writer ? file->writer->finish() : noErr;
    delete file;
    return status;
}

} // namespace quorvel
