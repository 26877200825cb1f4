#pragma once
// Writes an audio file of a given container type ('WAVE', 'AIFF', 'AIFC',
// 'caff', 'm4af' ...) from per-channel float or 16-bit arrays. The file is
// complete only after closeFile(), which the destructor calls. Used from one
// thread at a time.
#include "pipeline/AudioBuffers.h"
#include "platform/audiofile/AudioFile.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/audiofile/ExtAudioFile.h"

#include <QUrl>
#include <cstdint>

namespace quorvel {

class EAFWrite {
public:
    EAFWrite();
    ~EAFWrite();
    EAFWrite(const EAFWrite&) = delete;
    EAFWrite& operator=(const EAFWrite&) = delete;

    // Fills the stored format for a container type; other types leave it zero.
    void SetupStreamAndFileFormatForType(uint32_t type, float sr, int channels, int wordlength);
    // Creates (replacing) the file. Returns 0 or the platform's status.
    OSStatus openFileForWrite(const QUrl& url, double sr, int channels, int wordLength, uint32_t type);
    // Appends numFrames frames from audio[channel][frame]. Values above 0.999
    // and below -1.0 are clamped in the caller's array. A null channel writes
    // silence. Returns 0, -1 for no frames or no array, or the platform's status.
    OSStatus writeFloats(uint32_t numFrames, float** audio);
    // The same with 16-bit samples written unchanged.
    OSStatus writeShorts(uint32_t numFrames, int16_t** audio);
    // Completes the file. Safe to call more than once. Returns 0, or the
    // first failure of completing it (a full disk): the file is then not whole.
    OSStatus closeFile();

private:
    template <class Fill> OSStatus write(uint32_t numFrames, Fill fill);
    void reportFailure(const char* what, OSStatus err) const;

    uint32_t mType = 0;
    AudioStreamBasicDescription mStreamFormat{};
    AudioStreamBasicDescription mOutputFormat{};
    int32_t mAudioChannels = 0;
    AudioFileID mAfid = nullptr;
    ExtAudioFilePtr mOutputAudioFile;
    AudioBufferListPtr mBlock;
    uint32_t mBlockFrames = 0;
    QString mPath;
};

} // namespace quorvel
