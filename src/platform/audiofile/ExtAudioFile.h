#pragma once
// The extended audio file service: reads any audio file FFmpeg decodes in a
// client PCM format of the caller's choosing (rate, channels, 16-bit integer
// or 32-bit float), and writes client PCM into a file made by the audio file
// service. One handle is used by one thread at a time.
#include "platform/audiofile/AudioFile.h"
#include "platform/audiofile/CoreAudioTypes.h"

#include <QUrl>
#include <memory>

namespace quorvel {

class AudioFileDecoder;
class ExtAudioFileWriter;

struct OpaqueExtAudioFile {
    std::unique_ptr<AudioFileDecoder> reader;
    std::unique_ptr<ExtAudioFileWriter> writer;
    ~OpaqueExtAudioFile();
};
using ExtAudioFileRef = OpaqueExtAudioFile*;

// Opens a local file for reading. Fails with -43 when it is missing, 'typ?'
// when it is no audio file, 'fmt?' when its data cannot be decoded.
OSStatus ExtAudioFileOpenURL(const QUrl& url, ExtAudioFileRef* outFile);

// Wraps a file made by AudioFileCreateWithURL for writing. The wrapper never
// owns the audio file: close it with AudioFileClose after disposing of this.
OSStatus ExtAudioFileWrapAudioFileID(AudioFileID file, bool forWriting, ExtAudioFileRef* outFile);

// Properties: 'ffmt' (the file's data format, 40 bytes, get), 'cfmt' (the
// client format, 40 bytes, get and set), '#frm' (the length in the file's
// frames, 8 bytes, get; exact for reading, the frames written for writing).
OSStatus ExtAudioFileGetProperty(ExtAudioFileRef file, ExtAudioFilePropertyID id, UInt32* ioSize, void* outData);
OSStatus ExtAudioFileSetProperty(ExtAudioFileRef file, ExtAudioFilePropertyID id, UInt32 size, const void* data);

// Reads up to *ioFrames client frames into one interleaved buffer; *ioFrames
// becomes the count delivered, fewer near the end and 0 at the end.
OSStatus ExtAudioFileRead(ExtAudioFileRef file, UInt32* ioFrames, AudioBufferList* ioData);

// Appends `frames` client frames (one buffer, or one per channel for a
// non-interleaved client format).
OSStatus ExtAudioFileWrite(ExtAudioFileRef file, UInt32 frames, const AudioBufferList* data);

// Frees the handle; for writing, first sends the last samples to the file.
OSStatus ExtAudioFileDispose(ExtAudioFileRef file);

// Owns a handle and disposes of it. A writer that must know whether its last
// samples reached the file disposes of it itself: ExtAudioFileDispose(ptr.release()).
struct ExtAudioFileDisposer {
    void operator()(OpaqueExtAudioFile* file) const { ExtAudioFileDispose(file); }
};
using ExtAudioFilePtr = std::unique_ptr<OpaqueExtAudioFile, ExtAudioFileDisposer>;

} // namespace quorvel
