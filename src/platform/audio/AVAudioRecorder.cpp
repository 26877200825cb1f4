#include "platform/audio/AVAudioRecorder.h"

#include "platform/audio/AudioErrors.h"
#include "platform/audio/AudioSystem.h"
#include "platform/audio/RecordingSession.h"
#include "platform/audio/SdlCaptureDevice.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSTimer.h"

#include <QFileInfo>
#include <cmath>

namespace quorvel {

const QString AVFormatIDKey = QStringLiteral("AVFormatIDKey");
const QString AVSampleRateKey = QStringLiteral("AVSampleRateKey");
const QString AVNumberOfChannelsKey = QStringLiteral("AVNumberOfChannelsKey");
const QString AVLinearPCMBitDepthKey = QStringLiteral("AVLinearPCMBitDepthKey");
const QString AVLinearPCMIsBigEndianKey = QStringLiteral("AVLinearPCMIsBigEndianKey");
const QString AVLinearPCMIsFloatKey = QStringLiteral("AVLinearPCMIsFloatKey");

namespace {
constexpr int kRate = AudioCaptureDevice::kSampleRate;
// How often the recorder looks at its session (seconds).
constexpr double kMonitorInterval = 0.05;
// The most a WAV header can describe in this format (about 13.5 hours).
constexpr int64_t kNoLimitFrames = int64_t(WavRecordingFile::kMaxDataBytes / 2);

// What is wrong with the settings, or an empty text when they are the
// recorder's one format. Missing keys take that format's values.
QString refusedSetting(const QVariantMap& settings) {
    auto differs = [&](const QString& key, double expected) {
        if (!settings.contains(key)) return false;
        bool ok = false;
        const double value = settings.value(key).toDouble(&ok);
        return !ok || value != expected;
    };
    if (settings.contains(AVFormatIDKey)) {
        const QVariant format = settings.value(AVFormatIDKey);
        bool ok = false;
        const qulonglong id = format.toULongLong(&ok);
        if (!(ok && id == kAudioFormatLinearPCM) && format.toString() != QStringLiteral("lpcm"))
            return QStringLiteral("format %1 (only linear PCM is recorded)").arg(format.toString());
    }
    if (differs(AVSampleRateKey, kRate))
        return QStringLiteral("sample rate %1 (only 44100 Hz)").arg(settings.value(AVSampleRateKey).toString());
    if (differs(AVNumberOfChannelsKey, 1))
        return QStringLiteral("%1 channels (only mono)").arg(settings.value(AVNumberOfChannelsKey).toString());
    if (differs(AVLinearPCMBitDepthKey, 16))
        return QStringLiteral("%1 bits (only 16)").arg(settings.value(AVLinearPCMBitDepthKey).toString());
    if (settings.value(AVLinearPCMIsBigEndianKey, false).toBool()) return QStringLiteral("big-endian samples");
    if (settings.value(AVLinearPCMIsFloatKey, false).toBool()) return QStringLiteral("float samples");
    return {};
}
} // namespace

class AVAudioRecorder::Impl : public std::enable_shared_from_this<Impl> {
public:
    AVAudioRecorder* owner = nullptr;
    QUrl url;
    QVariantMap settings;
    AVAudioRecorderDelegate* delegate = nullptr;
    std::unique_ptr<RecordingSession> session;
    std::shared_ptr<NSTimer> monitor;

    bool start(int64_t limit) {
        if (session) return false;
        if (!AudioSystem::sharedInstance().hasCaptureDevice()) {
            NSLog("AVAudioRecorder: no audio input is available");
            return false;
        }
        NSError error;
        auto recording = RecordingSession::start(url.toLocalFile(), limit, &error);
        if (!recording) {
            NSLog("AVAudioRecorder: %@", error.localizedDescription);
            return false;
        }
        auto device = SdlCaptureDevice::open(*recording, &error);
        if (!device) {
            NSLog("AVAudioRecorder: %@", error.localizedDescription);
            return false;
        }
        recording->setDevice(std::move(device));
        session = std::move(recording);
        std::weak_ptr<Impl> weak = weak_from_this();
        monitor = NSTimer::scheduledTimerWithTimeInterval(
            kMonitorInterval,
            [weak](NSTimer*) {
                if (auto self = weak.lock()) self->check();
            },
            {}, true);
        return true;
    }

    // Stops everything; returns whether the file is complete (*error says
    // why not).
    bool finish(NSError* error) {
        if (monitor) monitor->invalidate();
        monitor.reset();
        const bool complete = session->stop();
        if (!complete) *error = session->error();
        session.reset();
        return complete;
    }

    void check() {
        if (!session) return;
        NSError error;
        if (session->hasFailed()) {
            finish(&error);
            tell([error](AVAudioRecorderDelegate* d, AVAudioRecorder* r) { d->audioRecorderEncodeErrorDidOccur(r, error); });
        } else if (session->isInterrupted()) {
            NSLog("AVAudioRecorder: the audio input went away");
            finish(&error);
            tell([](AVAudioRecorderDelegate* d, AVAudioRecorder* r) { d->audioRecorderBeginInterruption(r); });
            tell([](AVAudioRecorderDelegate* d, AVAudioRecorder* r) { d->audioRecorderEndInterruption(r, 0); });
        } else if (session->limitReached()) {
            stop();
        }
    }

    void stop() {
        if (!session) return;
        NSError error;
        if (finish(&error)) {
            tell([](AVAudioRecorderDelegate* d, AVAudioRecorder* r) { d->audioRecorderDidFinishRecording(r, true); });
        } else {
            NSLog("AVAudioRecorder: %@", error.localizedDescription);
            tell([error](AVAudioRecorderDelegate* d, AVAudioRecorder* r) { d->audioRecorderEncodeErrorDidOccur(r, error); });
        }
    }

    // Calls the delegate from the event loop, so that it may drop the recorder.
    template <class Call> void tell(Call call) {
        std::weak_ptr<Impl> weak = weak_from_this();
        performOnMainThread([weak, call] {
            auto self = weak.lock();
            if (self && self->delegate && self->owner) call(self->delegate, self->owner);
        });
    }

    void shutdown() {
        if (session) {
            NSError ignored;
            finish(&ignored);
        }
        delegate = nullptr;
        owner = nullptr;
    }
};

AVAudioRecorder::AVAudioRecorder() : d(std::make_shared<Impl>()) { d->owner = this; }

AVAudioRecorder::~AVAudioRecorder() { d->shutdown(); }

std::shared_ptr<AVAudioRecorder> AVAudioRecorder::initWithURL(const QUrl& url, const QVariantMap& settings,
                                                              NSError* error) {
    if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
        if (error) *error = osStatusError(kAudio_ParamError, QStringLiteral("The recorder writes only local files, not %1").arg(url.toString()));
        return nullptr;
    }
    const QString refused = refusedSetting(settings);
    if (!refused.isEmpty()) {
        if (error)
            *error = osStatusError(kAudioFileUnsupportedDataFormatError,
                                   QStringLiteral("The recorder records 16-bit little-endian integer linear PCM, mono, "
                                                  "at 44100 Hz; not %1")
                                       .arg(refused));
        return nullptr;
    }
    std::shared_ptr<AVAudioRecorder> recorder(new AVAudioRecorder);
    recorder->d->url = url;
    recorder->d->settings = settings;
    return recorder;
}

bool AVAudioRecorder::recordForDuration(double seconds) {
    if (!(seconds > 0) || !std::isfinite(seconds)) return false;
    return d->start(std::min<int64_t>(std::llround(seconds * kRate), kNoLimitFrames));
}

bool AVAudioRecorder::record() { return d->start(kNoLimitFrames); }

void AVAudioRecorder::stop() { d->stop(); }

bool AVAudioRecorder::isRecording() const {
    return d->session && !d->session->limitReached() && !d->session->hasFailed();
}

double AVAudioRecorder::currentTime() const {
    return d->session ? double(d->session->framesCaptured()) / kRate : 0.0;
}

const QUrl& AVAudioRecorder::url() const { return d->url; }

const QVariantMap& AVAudioRecorder::settings() const { return d->settings; }

void AVAudioRecorder::setDelegate(AVAudioRecorderDelegate* delegate) { d->delegate = delegate; }

AVAudioRecorderDelegate* AVAudioRecorder::delegate() const { return d->delegate; }

} // namespace quorvel
