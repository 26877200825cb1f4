#pragma once
// Records the default capture device into a WAV file: linear PCM, 16-bit
// little-endian integers, mono, 44,100 Hz (the only format it takes; other
// settings are refused when the recorder is made). The file is a valid WAV
// from the first moment: its header is written first and its lengths are
// kept up to date while recording and fixed when recording stops. A
// duration limit is kept to the sample.
//
// Delegate calls come on the main thread, from the event loop, and may drop
// the recorder: finished (stop or the limit), an encoding error (the file
// could not be written; the recording stops), and an interruption (the
// capture device went away; the recording stops and the interruption ends
// at once, as it cannot resume on a device that is gone).
//
// Thread safety: main thread only.
#include "platform/core/NSError.h"

#include <QUrl>
#include <QVariantMap>
#include <memory>

namespace quorvel {

// Keys of the settings dictionary.
extern const QString AVFormatIDKey;
extern const QString AVSampleRateKey;
extern const QString AVNumberOfChannelsKey;
extern const QString AVLinearPCMBitDepthKey;
extern const QString AVLinearPCMIsBigEndianKey;
extern const QString AVLinearPCMIsFloatKey;

class AVAudioRecorder;

class AVAudioRecorderDelegate {
public:
    virtual ~AVAudioRecorderDelegate() = default;
    virtual void audioRecorderDidFinishRecording(AVAudioRecorder* /*recorder*/, bool /*successfully*/) {}
    virtual void audioRecorderEncodeErrorDidOccur(AVAudioRecorder* /*recorder*/, const NSError& /*error*/) {}
    virtual void audioRecorderBeginInterruption(AVAudioRecorder* /*recorder*/) {}
    virtual void audioRecorderEndInterruption(AVAudioRecorder* /*recorder*/, unsigned /*flags*/) {}
};

class AVAudioRecorder {
public:
    // Nullptr, with an error, for settings other than the format above or a
    // URL that is not a local file.
    static std::shared_ptr<AVAudioRecorder> initWithURL(const QUrl& url, const QVariantMap& settings, NSError* error);
    ~AVAudioRecorder();

    // Starts recording over the file (replacing it) for at most `seconds`;
    // returns whether it started. It does not start without an audio input.
    bool recordForDuration(double seconds);
    // Starts recording with no limit of its own.
    bool record();
    void stop();
    bool isRecording() const;
    // Seconds recorded so far; 0 when not recording.
    double currentTime() const;
    const QUrl& url() const;
    const QVariantMap& settings() const;

    // Not retained: clear it before the delegate goes away.
    void setDelegate(AVAudioRecorderDelegate* delegate);
    AVAudioRecorderDelegate* delegate() const;

    AVAudioRecorder(const AVAudioRecorder&) = delete;
    AVAudioRecorder& operator=(const AVAudioRecorder&) = delete;

private:
    class Impl;
    AVAudioRecorder();
    std::shared_ptr<Impl> d;
};

} // namespace quorvel
