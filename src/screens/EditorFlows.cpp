#include "screens/EditorFlows.h"

#include "editor/EditorControls.h"
#include "editor/EditorRules.h"
#include "editor/GenericHelper.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioExportHelper.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSException.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/WorkerThreads.h"
#include "platform/media/AVURLAsset.h"
#include "platform/media/LoudnessMeter.h"
#include "platform/media/LoudnessNormalizer.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

const QString kTracks = QStringLiteral("tracks");
// How often a waiting road tries the lock, and a running export is looked at.
constexpr int kWorkFilesPollMs = 200;
// A processed file this much shorter than the range still fills it (its
// length is read to the sample, the range is in tenths).
constexpr double kLengthTolerance = 0.01;

// Loads the tracks of `url` off the main thread and runs `then` on the main
// thread with the asset, unless the flows are gone or the working ringtone
// was replaced meanwhile.
void loadTracks(const QUrl& url, const std::weak_ptr<bool>& alive, const std::shared_ptr<Ringtune>& ringtune,
                const std::shared_ptr<Ringtune>* current, std::function<void(std::shared_ptr<AVURLAsset>)> then) {
    auto asset = AVURLAsset::URLAssetWithURL(url);
    if (!asset) {
        then(nullptr);
        return;
    }
    asset->loadValuesAsynchronouslyForKeys({kTracks}, [alive, ringtune, current, asset, then = std::move(then)] {
        if (auto a = alive.lock(); !a || !*a || *current != ringtune) return;
        then(asset);
    });
}

// Whether the asset's audio can be read; logs why not.
bool hasReadableAudio(const std::shared_ptr<AVURLAsset>& asset) {
    NSError error;
    if (!asset) {
        NSLog("The asset's tracks were not loaded:\n%@", QStringLiteral("no file"));
        return false;
    }
    if (asset->statusOfValueForKey(kTracks, &error) != AVKeyValueStatusLoaded) {
        NSLog("The asset's tracks were not loaded:\n%@", error.localizedDescription);
        return false;
    }
    if (asset->tracksWithMediaType(AVMediaTypeAudio).empty()) {
        NSLog("The asset's tracks were not loaded:\n%@", QStringLiteral("%1 has no audio").arg(asset->URL().toString()));
        return false;
    }
    return true;
}

} // namespace

EditorFlows::EditorFlows(EditorFlowsView& view, const EditorControls& controls,
                         ExportViewControllerFinishDelegate* finishDelegate, bool hardwareEncoderAvailable)
    : view_(view), controls_(controls), finishDelegate_(finishDelegate),
      hardwareEncoderAvailable_(hardwareEncoderAvailable) {
    waitTimer_.setInterval(kWorkFilesPollMs);
    waitTimer_.callOnTimeout([this] { pollWorkFiles(); });
    watchTimer_.setInterval(kWorkFilesPollMs);
    watchTimer_.callOnTimeout([this] { watchExport(); });
}

EditorFlows::~EditorFlows() {
    *alive_ = false;
    removeCutObservers();
}

void EditorFlows::preProcessRingtoneForExport() {
    if (!ringtune_) return;
    playTapped_ = false;
    view_.showProcessingNotice();
    ringtune_->setProcessed(ringtune_->isRecorded());
    ringtune_->setTimeRange(GenericHelper::playerItemTimeRange(controls_.start(), controls_.length()));
    takeWorkFilesThen([this] { cut(); });
}

void EditorFlows::preProcessRingtoneForPlay() {
    if (!ringtune_) return;
    playTapped_ = true;
    if (ringtune_->isProcessed()) {
        loadAndPlayEffectsAsset();
        playTapped_ = false;
        return;
    }
    view_.showProcessingNotice();
    ringtune_->setTimeRange(GenericHelper::playerItemTimeRange(controls_.start(), controls_.length()));
    takeWorkFilesThen([this] { cut(); });
}

void EditorFlows::takeWorkFilesThen(std::function<void()> next) {
    // A new road: a finished export's watch must not let go of the lock it now keeps.
    watchTimer_.stop();
    switch (workFiles_.tryLock()) {
    case DocumentsLock::Result::Locked:
        next();
        return;
    case DocumentsLock::Result::Failed:
        view_.dismissProcessingNotice();
        stop(QCoreApplication::translate("EditorFlows", "The work files cannot be locked: %1").arg(workFiles_.errorString()));
        return;
    case DocumentsLock::Result::Busy:
        break;
    }
    view_.waitingForAnotherExport();
    afterWait_ = std::move(next);
    waitStarted_ = std::chrono::steady_clock::now();
    waitTimer_.start();
}

void EditorFlows::pollWorkFiles() {
    const DocumentsLock::Result result = workFiles_.tryLock();
    if (result == DocumentsLock::Result::Busy && std::chrono::steady_clock::now() - waitStarted_ < workFilesTimeout_)
        return;
    waitTimer_.stop();
    auto next = std::move(afterWait_);
    afterWait_ = nullptr;
    if (result == DocumentsLock::Result::Locked) {
        next();
        return;
    }
    view_.dismissProcessingNotice();
    if (result == DocumentsLock::Result::Failed) {
        stop(QCoreApplication::translate("EditorFlows", "The work files cannot be locked: %1").arg(workFiles_.errorString()));
        return;
    }
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(workFilesTimeout_).count();
    stop(minutes >= 1 ? QCoreApplication::translate("EditorFlows", "Another export has been running for %1 minutes; nothing was made. "
                                                                   "Try again when it has finished.")
                            .arg(minutes)
                      : QCoreApplication::translate("EditorFlows", "Another export is still running; nothing was made. "
                                                                   "Try again when it has finished."));
}

void EditorFlows::watchExport() {
    if (exportScreen_ && exportScreen_->outcome() == ExportViewController::Outcome::Running) return;
    // An export that followed the engine may end (cancelled) while the
    // engine still writes its work file.
    if (effectsHelper_) return;
    releaseWorkFiles();
}

void EditorFlows::releaseWorkFiles() {
    watchTimer_.stop();
    workFiles_.unlock();
}

void EditorFlows::stop(const QString& reason) {
    releaseWorkFiles();
    view_.flowStopped(reason);
}

void EditorFlows::cut() {
    // The notification may come from a worker thread of the export service:
    // move its handling to the main thread, and drop it if we are gone.
    QPointer<QObject> context(deliveryContext());
    auto handler = [this, context](const QString&, const void*) {
        postToMainThread(context, [this] { processRingtoneWithDirac(); });
    };
    NotificationCenter& center = NotificationCenter::defaultCenter();
    if (ringtune_->isRecorded()) {
        center.addObserver(this, AssetURLExportedNotification, this, handler);
        ringtune_->setEffectURL(ringtune_->assetURL());
        center.postNotificationName(AssetURLExportedNotification, this);
        return;
    }
    AudioExportHelper& exporter = AudioExportHelper::sharedInstance();
    center.addObserver(this, AssetURLExportedNotification, &exporter, handler);
    try {
        exporter.exportRingtuneForEffects(ringtune_, QStringLiteral(".tmpExport"));
    } catch (const NSException& e) {
        // The helper has announced the failed cut as a failed import; the
        // road stops at the check of the cut file.
        NSLog("Exception: %@", e.reason());
    }
}

void EditorFlows::removeCutObservers() {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.removeObserver(this, AssetURLExportedNotification, &AudioExportHelper::sharedInstance());
    center.removeObserver(this, AssetURLExportedNotification, this);
}

void EditorFlows::processRingtoneWithDirac() {
    removeCutObservers();
    if (!ringtune_) return;
    // A failed cut leaves no readable file: look before processing, so that
    // silence is never processed and exported.
    loadTracks(ringtune_->effectURL(), alive_, ringtune_, &ringtune_,
               [this](std::shared_ptr<AVURLAsset> input) { decideOnEngine(input); });
}

void EditorFlows::decideOnEngine(const std::shared_ptr<AVURLAsset>& input) {
    if (!hasReadableAudio(input)) {
        view_.dismissProcessingNotice();
        // The cut's own reason (a full disk, a source that cannot be read) says more.
        const QString cutFailure =
            ringtune_->isRecorded() ? QString() : AudioExportHelper::sharedInstance().effectsInputError().localizedDescription;
        stop(cutFailure.isEmpty() ? QCoreApplication::translate("EditorFlows", "The audio of the chosen segment could not be read.") : cutFailure);
        return;
    }
    if (EditorRules::isEngineSkipped(*ringtune_, playTapped_, hardwareEncoderAvailable_)) {
        NSLog("engine: skipped");
        effectsDelegateDidFinishWithURL(ringtune_->effectURL());
        return;
    }
    NSLog("engine: runs (speed %f, pitch %f)", ringtune_->speed(), ringtune_->pitch());
    effectsHelper_ = std::make_shared<AudioEffectsHelper>(ringtune_->effectURL());
    effectsHelper_->setDelegate(this);
    effectsHelper_->startProcess(ringtune_);
}

bool EditorFlows::mayExportWhileProcessing() const {
    return !playTapped_ && ringtune_ && !controls_.isLoudnessNormalized() &&
           EditorRules::writerFor(*ringtune_, hardwareEncoderAvailable_) == RingtoneWriter::PlatformExport;
}

void EditorFlows::effectsDelegateDidStartWritingURL(const QUrl& url, int64_t frames) {
    if (!ringtune_ || !mayExportWhileProcessing()) return;
    // The file's header is written: its track loads now, its length is the
    // engine's. The export follows the file while the engine writes it.
    const double held = double(frames) / AudioEffectsHelper::kSampleRate;
    std::weak_ptr<AudioEffectsHelper> run = effectsHelper_;
    loadTracks(url, alive_, ringtune_, &ringtune_, [this, url, held, run](std::shared_ptr<AVURLAsset> asset) {
        // The run has ended meanwhile (its end takes the usual road), or another has begun.
        if (!effectsHelper_ || run.lock() != effectsHelper_ || exportingWhileProcessing_) return;
        if (!asset || asset->tracksWithMediaType(AVMediaTypeAudio).empty()) return; // the whole file is loaded at the end
        view_.dismissProcessingNotice();
        ringtune_->setProcessed(true);
        ringtune_->setExportURL(url);
        const SegmentPlayback playback = processedSegment(asset, *ringtune_, controls_, held);
        exportingWhileProcessing_ = true;
        NSLog("export: follows the engine's output");
        view_.processedSegmentLoaded(playback, false);
        exportRingTone();
    });
}

void EditorFlows::effectsDelegateDidFinishWithURL(const QUrl& url) {
    view_.dismissProcessingNotice();
    effectsHelper_.reset();
    if (!ringtune_) return;
    if (exportingWhileProcessing_) {
        // The export has been following the file; it ends with it.
        exportingWhileProcessing_ = false;
        return;
    }
    ringtune_->setProcessed(true);
    ringtune_->setExportURL(url);
    if (playTapped_) {
        releaseWorkFiles(); // the preview's processed file is ready
        loadAndPlayEffectsAsset();
        playTapped_ = false;
    } else {
        loadAndExportEffectsAsset();
    }
}

void EditorFlows::loadAndPlayEffectsAsset() { loadProcessedSegment(true); }

void EditorFlows::loadAndExportEffectsAsset() { loadProcessedSegment(false); }

void EditorFlows::loadProcessedSegment(bool forPreview) {
    if (!ringtune_) return;
    loadTracks(ringtune_->exportURL(), alive_, ringtune_, &ringtune_,
               [this, forPreview](std::shared_ptr<AVURLAsset> asset) {
                   if (!hasReadableAudio(asset)) {
                       stop(QCoreApplication::translate("EditorFlows", "The processed audio could not be read."));
                       return;
                   }
                   const SegmentPlayback playback = processedSegment(asset, *ringtune_, controls_);
                   auto next = [this, playback, forPreview] {
                       view_.processedSegmentLoaded(playback, forPreview);
                       if (!forPreview) exportRingTone();
                   };
                   if (controls_.isLoudnessNormalized() && playback.audioMix) normalizeLoudnessThen(playback, next);
                   else next();
               });
}

void EditorFlows::normalizeLoudnessThen(const SegmentPlayback& playback, std::function<void()> next) {
    const QUrl url = ringtune_->exportURL();
    const qint64 modified = QFileInfo(url.toLocalFile()).lastModified().toMSecsSinceEpoch();
    const bool same = measured_.gain && measured_.url == url && measured_.modified == modified &&
                      CMTimeCompare(measured_.range.start, playback.range.start) == 0 &&
                      CMTimeCompare(measured_.range.duration, playback.range.duration) == 0 && measured_.fadeIn == controls_.fadeIn() &&
                      measured_.fadeOut == controls_.fadeOut();
    if (same) {
        playback.audioMix->setLoudnessGain(measured_.gain);
        next();
        return;
    }
    view_.showProcessingNotice();
    auto job = std::make_shared<AssetExportJob>();
    job->sourcePath = url.toLocalFile();
    job->range = playback.range;
    job->mix = playback.audioMix;
    MeasuredLoudness key{url, modified, playback.range, controls_.fadeIn(), controls_.fadeOut(), nullptr};
    std::weak_ptr<bool> alive = alive_;
    auto ringtune = ringtune_;
    WorkerThreads::start([this, alive, ringtune, job, key, playback, next = std::move(next)]() mutable {
        auto result = std::make_shared<LoudnessNormalizer::Result>();
        auto error = std::make_shared<NSError>();
        const bool ok = LoudnessNormalizer::analyse(*job, result.get(), error.get());
        performOnMainThread([this, alive, ringtune, ok, result, error, key, playback, next]() mutable {
            if (auto a = alive.lock(); !a || !*a || ringtune_ != ringtune) return;
            view_.dismissProcessingNotice();
            if (!ok) {
                NSLog("loudness: %@", error->localizedDescription);
                stop(QCoreApplication::translate("EditorFlows", "The loudness of the segment could not be measured."));
                return;
            }
            NSLog("loudness: %f LUFS, gain %f dB, %@", result->inputLufs,
                  result->gain ? LoudnessMeter::toDecibels(result->gain->level()) : 0.0,
                  result->gain && result->gain->isLimited() ? QStringLiteral("limited") : QStringLiteral("not limited"));
            playback.audioMix->setLoudnessGain(result->gain);
            key.gain = result->gain;
            measured_ = key;
            next();
        });
    });
}

SegmentPlayback EditorFlows::processedSegment(const std::shared_ptr<AVURLAsset>& asset, Ringtune& ringtune,
                                              const EditorControls& controls, double heldSeconds) {
    SegmentPlayback playback;
    playback.item = AVPlayerItem::playerItemWithAsset(asset);
    // A library song's effective range is invalid once processed, so R
    // starts at 0; a recording's is its stored segment.
    playback.range =
        GenericHelper::timeRangeForSpeed(ringtune.speedPosition(), ringtune.timeRange(), controls.length());
    // A song or recording shorter than the length asked for is exported as it
    // is: the range, and so the stored length, is what the file holds.
    const double length = heldSeconds >= 0 ? heldSeconds : CMTimeGetSeconds(asset->duration());
    const double held = length - CMTimeGetSeconds(playback.range.start);
    if (std::isfinite(held) && held < CMTimeGetSeconds(playback.range.duration) - kLengthTolerance)
        playback.range.duration = CMTimeMakeWithSeconds(std::max(0.0, held), 1000);
    ringtune.setTimeRange(playback.range);
    playback.audioMix = GenericHelper::fadeInAndOut(playback.item, controls.fadeIn(), controls.fadeOut(),
                                                    playback.range, ringtune.speedPosition());
    ringtune.setAudioMixer(playback.audioMix);
    return playback;
}

void EditorFlows::effectsDelegateDidFail(const QString& reason) {
    // Nothing is made from a short file: the road stops here.
    view_.dismissProcessingNotice();
    effectsHelper_.reset();
    playTapped_ = false;
    if (exportingWhileProcessing_) {
        // The export following the file fails with it; its screen tells.
        exportingWhileProcessing_ = false;
        NSLog("engine: %@", reason);
        return;
    }
    stop(reason);
}

void EditorFlows::exportRingTone() {
    exportScreen_ = std::make_shared<ExportViewController>();
    exportScreen_->setFinishDelegate(finishDelegate_);
    exportScreen_->setRingtune(ringtune_);
    if (EditorRules::writerFor(*ringtune_, hardwareEncoderAvailable_) == RingtoneWriter::AacWriter) {
        NSLog("writer: AudioExporterFor3G");
        AudioExporterFor3G& writer = AudioExporterFor3G::sharedInstance();
        writer.exportRingtune(ringtune_, exportScreen_);
        exportScreen_->setCancelDelegate(&writer);
    } else {
        NSLog("writer: AudioExportHelper");
        AudioExportHelper::sharedInstance().exportRingtune(ringtune_, exportScreen_);
    }
    view_.presentExportScreen(exportScreen_);
    watchTimer_.start();
}

} // namespace quorvel
