#include "pipeline/AudioEffectsHelper.h"

#include "editor/Ringtune.h"
#include "pipeline/AudioBuffers.h"
#include "pipeline/Dirac.h"
#include "pipeline/EAFRead.h"
#include "pipeline/EAFWrite.h"
#include "platform/core/GrowingFile.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/OSStatus.h"
#include "platform/core/Paths.h"
#include "platform/core/VectorState.h"
#include "platform/core/WorkerThreads.h"

#include <QFile>
#include <QPointer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

namespace quorvel {

namespace {

constexpr int kChannels = 1;
constexpr int kWordLength = 16;
constexpr long kBlockFrames = 8192;

// Output length: the input's frame count times the speed, in single precision
// as the editor computes its ranges, truncated. A non-finite or negative
// product (no usable speed) gives an empty file rather than an undefined cast.
int64_t outputFrames(int64_t inputFrames, float speed) {
    float total = float(inputFrames) * speed;
    if (!std::isfinite(total) || total <= 0.0f) return 0;
    return int64_t(total);
}

} // namespace

// Everything a run touches. The object and the run each hold it, so it lives
// until the later of the two is done.
struct AudioEffectsHelper::State : std::enable_shared_from_this<AudioEffectsHelper::State> {
    QUrl inUrl;
    QUrl outUrl;
    std::shared_ptr<Ringtune> ringtune;
    std::atomic<bool> started{false};

    // Created by startProcess, used only on the worker thread, released at the
    // end of the run.
    std::unique_ptr<EAFRead> reader;
    std::unique_ptr<EAFWrite> writer;
    std::atomic<EAFRead*> currentReader{nullptr};

    // Set and read on the main thread; the lock covers a caller that sets the
    // delegate from another thread.
    mutable std::mutex delegateLock;
    AudioEffectsHelperDelegate* delegate = nullptr;
    QPointer<QObject> delegateContext; // cleared by Qt when the delegate is destroyed

    // Why the output could not be written; empty after a complete run.
    // Written by the run, read by the main-thread call it posts afterwards.
    QString failure;

    void processThread();
    // The delegate, while it lives; called on the main thread.
    AudioEffectsHelperDelegate* liveDelegate();
    void notifyStarted(int64_t frames);
    void notifyDelegate();
    void fail(const char* what, OSStatus status);
};

AudioEffectsHelper::AudioEffectsHelper(const QUrl& inFileURL) : state_(std::make_shared<State>()) {
    state_->inUrl = inFileURL;
    const QString out = Paths::documentPath(QStringLiteral(".processedEffect.wav"));
    QFile::remove(out);  // a failed deletion is ignored; the writer replaces the file anyway
    state_->outUrl = QUrl::fromLocalFile(out);
}

// The run, if any, keeps the state and finishes its file; nothing here waits
// for it. An object that is gone reports to no one.
AudioEffectsHelper::~AudioEffectsHelper() { setDelegate(nullptr); }

AudioEffectsHelperDelegate* AudioEffectsHelper::delegate() const { return state_->liveDelegate(); }

void AudioEffectsHelper::setDelegate(AudioEffectsHelperDelegate* delegate) {
    std::lock_guard<std::mutex> lock(state_->delegateLock);
    state_->delegate = delegate;
    state_->delegateContext = delegate ? delegate->deliveryContext() : nullptr;
}

QUrl AudioEffectsHelper::inUrl() const { return state_->inUrl; }
QUrl AudioEffectsHelper::outUrl() const { return state_->outUrl; }
std::shared_ptr<Ringtune> AudioEffectsHelper::ringtune() const { return state_->ringtune; }
EAFRead* AudioEffectsHelper::reader() const { return state_->currentReader.load(); }

void AudioEffectsHelper::startProcess(std::shared_ptr<Ringtune> ringtune) {
    if (state_->started.exchange(true)) {
        NSLog("AudioEffectsHelper: a run was already started for %@", state_->inUrl);
        return;
    }
    state_->ringtune = std::move(ringtune);
    state_->reader = std::make_unique<EAFRead>();
    state_->writer = std::make_unique<EAFWrite>();
    state_->currentReader = state_->reader.get();
    // The thread and the main-thread call it posts each own a reference to the
    // state, so neither outlives what it uses, whenever the object goes. The
    // thread belongs to WorkerThreads, which joins it before the program ends.
    WorkerThreads::start([state = state_] { state->processThread(); });
}

void AudioEffectsHelper::State::processThread() {
    // An unreadable input reads as silence and ends at once; the output must
    // be written in full, or the run fails.
    reader->openFileForRead(inUrl, kSampleRate, kChannels);
    if (OSStatus status = writer->openFileForWrite(outUrl, kSampleRate, kChannels, kWordLength, fourCC("WAVE")))
        fail("created", status);

    const float speed = ringtune ? ringtune->speed() : 1.0f;
    const float pitch = ringtune ? ringtune->pitch() : 1.0f;

    DiracPtr engine(DiracCreate(kDiracLambdaPreview, kDiracQualityPreview, kChannels, float(kSampleRate), myReadData, this));
    void* dirac = engine.get();
    if (!dirac) {
        std::printf("!! ERROR !!\n\n\tCould not create DIRAC instance\n\tCheck number of channels and sample rate!\n");
        std::printf("\n\tNote that the free DIRAC LE library supports only\n\tone channel per instance\n\n\n");
        std::fflush(stdout);
        // Ends the process from this worker at once: exit() would run the
        // static destructors under the threads that still use them.
        std::_Exit(-1);
    }

    DiracSetProperty(kDiracPropertyTimeFactor, double(speed), dirac);
    DiracSetProperty(kDiracPropertyPitchFactor, double(pitch), dirac);
    DiracSetProperty(kDiracPropertyFormantFactor, double(1.0f / pitch), dirac);
    if (pitch > 1.0f) DiracSetProperty(kDiracPropertyUseConstantCpuPitchShift, 1.0, dirac);

    // Counted at the rate the engine is fed: a song at 48 kHz would otherwise
    // gain silence at its end, one at 8 kHz lose most of its audio.
    const int64_t total = outputFrames(reader->clientNumFrames(), speed);

    const QString outPath = outUrl.toLocalFile();
    std::optional<GrowingFile::Writing> following;
    const ChannelBuffers block(kChannels, int(kBlockFrames));
    float** audio = block.get();
    if (!audio) {
        NSLog("AudioEffectsHelper: no memory for the output block; %@ stays empty", outUrl);
    } else if (failure.isEmpty()) {
        // The file holds `total` frames from here on: a reader may follow it.
        following.emplace(outPath);
        performOnMainThread([state = shared_from_this(), total] { state->notifyStarted(total); });
        int64_t written = 0;
        long ret;
        do {
            if (WorkerThreads::stopRequested()) {
                // The program is ending: nobody will take the file.
                failure = QStringLiteral("The effects run was stopped: the program is ending.");
                break;
            }
            clearUpperVectorState(); // the file registry hashes its path
            ret = DiracProcess(audio, kBlockFrames, dirac);
            // Whole blocks up to total, then the remainder, then nothing:
            // output past total is dropped.
            int64_t frames = written + kBlockFrames <= total ? kBlockFrames : std::max<int64_t>(0, total - written);
            if (frames > 0) {
                if (OSStatus status = writer->writeFloats(uint32_t(frames), audio)) {
                    fail("written", status);
                    break;
                }
                following->grew();
            }
            written += kBlockFrames;
        } while (ret > 0);
    }

    engine.reset(); // the engine reads through the reader: it goes first
    currentReader = nullptr;
    reader.reset();
    // Closing completes the output file; a failure here (a full disk) leaves it short.
    if (OSStatus status = writer->closeFile(); status != noErr && failure.isEmpty()) fail("completed", status);
    writer.reset();
    // A short file must not pass for the processed segment.
    if (!failure.isEmpty()) QFile::remove(outPath);
    // The delegate hears of the end before a reader following the file sees
    // it, so that the end of the run comes before the end of what it feeds.
    performOnMainThread([state = shared_from_this()] { state->notifyDelegate(); });
    if (following) following->end(failure.isEmpty(), failure);
}

void AudioEffectsHelper::State::fail(const char* what, OSStatus status) {
    if (!failure.isEmpty()) return;
    failure = QStringLiteral("The processed audio file %1 could not be %2 (status %3).")
                  .arg(outUrl.toLocalFile(), QLatin1String(what))
                  .arg(status);
    NSLog("AudioEffectsHelper: %@", failure);
}

AudioEffectsHelperDelegate* AudioEffectsHelper::State::liveDelegate() {
    std::lock_guard<std::mutex> lock(delegateLock);
    return delegateContext ? delegate : nullptr;
}

void AudioEffectsHelper::State::notifyStarted(int64_t frames) {
    if (AudioEffectsHelperDelegate* target = liveDelegate()) target->effectsDelegateDidStartWritingURL(outUrl, frames);
}

void AudioEffectsHelper::State::notifyDelegate() {
    AudioEffectsHelperDelegate* target = liveDelegate();
    if (!target) return;
    if (failure.isEmpty())
        target->effectsDelegateDidFinishWithURL(outUrl);
    else
        target->effectsDelegateDidFail(failure);
}

long myReadData(float** data, long numFrames, void* userData) {
    if (!data || !userData) return 0;
    auto* state = static_cast<AudioEffectsHelper::State*>(userData);
    return state->reader->readFloatsConsecutive(numFrames, data);
}

} // namespace quorvel
