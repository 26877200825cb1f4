#pragma once
// Applies the working ringtone's speed and pitch to an audio file: reads it,
// drives the time-stretch engine and writes ".processedEffect.wav" (mono,
// 16-bit, 44,100 Hz) in the documents directory, then tells the delegate on
// the main thread.
//
// A run whose output cannot be written in full (a full disk) removes the file
// and tells the delegate effectsDelegateDidFail instead.
//
// One object serves one run. The run happens on a worker thread of its own
// (owned by WorkerThreads: joined before the program ends, and stopped early
// when it is ending); every engine call and every read callback is made there. The run keeps the
// object's state alive through a shared pointer, so the object itself may be
// destroyed while the run goes on: the run then finishes its file and the
// delegate call is skipped if the delegate has gone.
#include "pipeline/AudioEffectsHelperDelegate.h"

#include <QUrl>
#include <memory>

namespace quorvel {

class EAFRead;
class Ringtune;

class AudioEffectsHelper {
public:
    // The output file's rate: its frames count at this rate.
    static constexpr double kSampleRate = 44100.0;

    // initWithInFileURL: deletes any earlier ".processedEffect.wav" so that a
    // stale result never reaches the delegate.
    explicit AudioEffectsHelper(const QUrl& inFileURL);
    ~AudioEffectsHelper();
    AudioEffectsHelper(const AudioEffectsHelper&) = delete;
    AudioEffectsHelper& operator=(const AudioEffectsHelper&) = delete;

    // Not retained; call from the main thread.
    AudioEffectsHelperDelegate* delegate() const;
    void setDelegate(AudioEffectsHelperDelegate* delegate);

    QUrl inUrl() const;
    QUrl outUrl() const;
    std::shared_ptr<Ringtune> ringtune() const;

    // The input reader of the current run, null outside a run. Only the run's
    // own thread may use what it points to.
    EAFRead* reader() const;

    // Starts the run with the ringtune's speed and pitch and returns at once.
    // An object runs once; a second call while a run is going is refused.
    void startProcess(std::shared_ptr<Ringtune> ringtune);

    struct State;

private:
    std::shared_ptr<State> state_;
};

// The engine's read callback: userData is the run's state. Returns the frames
// delivered from the input file (0 at its end), 0 for a null argument.
long myReadData(float** data, long numFrames, void* userData);

} // namespace quorvel
