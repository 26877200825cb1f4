#pragma once
// Reads an audio file of any format the platform decodes (MP3, MPEG-4 audio,
// WAV, AIFF ...) as per-channel float or 16-bit arrays at the sample rate and
// channel count the caller asks for. Used from one thread at a time; only
// fileNumFrames() takes the reader's lock.
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/audiofile/ExtAudioFile.h"

#include <QUrl>
#include <cstdint>
#include <mutex>

namespace quorvel {

class EAFRead {
public:
    EAFRead();
    ~EAFRead();
    EAFRead(const EAFRead&) = delete;
    EAFRead& operator=(const EAFRead&) = delete;

    // Opens the file with a client format of interleaved 16-bit samples at `sr`
    // and `channels`. Returns 0 or the platform's status.
    OSStatus openFileForRead(const QUrl& url, double sr, int channels);
    // Reads the next numFrames frames into audio[channel][frame], scaled by
    // 2^-15; frames past the end are 0.0. Returns the frames delivered (0 at
    // the end) or a negative status (-1 when no file is open).
    int32_t readFloatsConsecutive(int64_t numFrames, float** audio);
    // The same with the 16-bit samples unchanged.
    int32_t readShortsConsecutive(int64_t numFrames, int16_t** audio);
    // The file's length in its own frames at its own rate; 0 when no file is open.
    int64_t fileNumFrames();
    // The file's length in frames at the rate the reader delivers.
    int64_t clientNumFrames();
    OSStatus closeFile();

private:
    // Reads numFrames interleaved frames and hands each sample to store(channel, frame, value).
    template <class Store> int32_t readConsecutive(int64_t numFrames, Store store);

    ExtAudioFilePtr extAFRef;
    int32_t extAFNumChannels = 0;
    double extAFRateRatio = 1.0;
    std::mutex lock_;
};

} // namespace quorvel
