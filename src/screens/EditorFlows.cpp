#include "EditorFlows.h"

#include "AVURLAsset.h"
#include "AudioExportHelper.h"
#include "AudioExporterFor3G.h"
#include "EditorRules.h"
#include "GenericHelper.h"
#include "Log.h"
#include "MainThread.h"
#include "NSException.h"
#include "NotificationCenter.h"
#include "Ringtune.h"

namespace quorvel {

EditorFlows::EditorFlows(EditorFlowsView& view, bool hardwareEncoderAvailable)
    : view_(view), hardwareEncoderAvailable_(hardwareEncoderAvailable) {}

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
    cut();
}

void EditorFlows::preProcessRingtoneForPlay() {
    if (!ringtune_) return;
    playTapped_ = true;
    if (ringtune_->isProcessed()) {
        view_.loadAndPlayEffectsAsset();
        playTapped_ = false;
        return;
    }
    view_.showProcessingNotice();
    ringtune_->setTimeRange(GenericHelper::playerItemTimeRange(controls_.start(), controls_.length()));
    cut();
}

void EditorFlows::cut() {
    // The notification may come from a worker thread of the export service:
    // move its handling to the main thread, and drop it if we are gone.
    std::weak_ptr<bool> alive = alive_;
    auto handler = [this, alive](const QString&, const void*) {
        performOnMainThread([this, alive] {
            if (auto a = alive.lock(); a && *a) processRingtoneWithDirac();
        });
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
    // A failed cut leaves no readable file: stop here rather than process
    // and export silence.
    auto input = AVURLAsset::URLAssetWithURL(ringtune_->effectURL());
    if (!input || input->tracksWithMediaType(AVMediaTypeAudio).empty()) {
        NSError error;
        if (input) input->statusOfValueForKey(QStringLiteral("tracks"), &error);
        NSLog("The asset's tracks were not loaded:\n%@", error.localizedDescription);
        view_.dismissProcessingNotice();
        view_.flowStopped(QStringLiteral("The audio of the chosen segment could not be read."));
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

void EditorFlows::effectsDelegateDidFinishWithURL(const QUrl& url) {
    view_.dismissProcessingNotice();
    effectsHelper_.reset();
    if (!ringtune_) return;
    ringtune_->setProcessed(true);
    ringtune_->setExportURL(url);
    if (playTapped_) {
        view_.loadAndPlayEffectsAsset();
        playTapped_ = false;
    } else {
        loadAndExportEffectsAsset();
    }
}

void EditorFlows::effectsDelegateDidFail(const QString& reason) {
    // Nothing is made from a short file: the road stops here.
    view_.dismissProcessingNotice();
    effectsHelper_.reset();
    playTapped_ = false;
    view_.flowStopped(reason);
}

void EditorFlows::loadAndExportEffectsAsset() {
    auto asset = AVURLAsset::URLAssetWithURL(ringtune_->exportURL());
    std::weak_ptr<bool> alive = alive_;
    asset->loadValuesAsynchronouslyForKeys({QStringLiteral("tracks")}, [this, alive, asset] {
        if (auto a = alive.lock(); !a || !*a) return;
        NSError error;
        if (asset->statusOfValueForKey(QStringLiteral("tracks"), &error) != AVKeyValueStatusLoaded) {
            NSLog("The asset's tracks were not loaded:\n%@", error.localizedDescription);
            view_.flowStopped(QStringLiteral("The processed audio could not be read."));
            return;
        }
        effectsPlayerItem_.reset();
        effectsPlayerItem_ = AVPlayerItem::playerItemWithAsset(asset);
        const CMTimeRange R =
            GenericHelper::timeRangeForSpeed(speedPosition_, ringtune_->timeRange(), controls_.length());
        ringtune_->setTimeRange(R);
        ringtune_->setAudioMixer(GenericHelper::fadeInAndOut(effectsPlayerItem_, fadeIn_, fadeOut_, R, speedPosition_));
        exportRingTone();
    });
}

void EditorFlows::exportRingTone() {
    exportScreen_ = std::make_shared<ExportViewController>();
    exportScreen_->setFinishDelegate(this);
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
}

void EditorFlows::exportViewControllerDidFinish(ExportViewController*) {}

} // namespace quorvel
