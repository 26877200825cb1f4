#pragma once
// The audio file service: creating an audio file of a container type and data
// format, and closing it. Data goes in through an extended audio file that
// wraps the file (ExtAudioFileWrapAudioFileID).
#include "platform/audiofile/CoreAudioTypes.h"

#include <QUrl>
#include <memory>

namespace quorvel {

class AudioFileEncoder;

struct OpaqueAudioFileID {
    std::shared_ptr<AudioFileEncoder> file;
};
using AudioFileID = OpaqueAudioFileID*;

// Creates the file at a local URL. Types: 'WAVE' (little-endian PCM), 'AIFF'
// (big-endian PCM), 'AIFC' (IMA4 or big-endian PCM), 'caff' (PCM), 'NeXT'
// (big-endian PCM) and 'm4af' (AAC-LC). An existing file is replaced only
// with kAudioFileFlags_EraseFile.
OSStatus AudioFileCreateWithURL(const QUrl& url, AudioFileTypeID type, const AudioStreamBasicDescription* format,
                                AudioFileFlags flags, AudioFileID* outFile);

// Our containers are written in their final layout when closed, so there is
// nothing to reorganise; checks the handle.
OSStatus AudioFileOptimize(AudioFileID file);

// Writes the container's closing data and frees the handle. Dispose of the
// wrapping extended audio file first, so its last samples reach the file.
OSStatus AudioFileClose(AudioFileID file);

} // namespace quorvel
