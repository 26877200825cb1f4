#pragma once
// The editor's road from the chosen segment to a preview or a stored
// ringtone: cut the segment (or take the recording), run the time-stretch
// engine or skip it, load the processed file and compute its stretched
// range and fade envelope (one computation for the preview and the export),
// then choose the writer and start the export. The editor's presenter owns
// this road; what only the screen does (the processing notice, playing,
// presenting the export screen) goes through EditorFlowsView.
//
// The road's work files (".tmpExport.*", ".processedEffect.wav"; the
// written ringtone has a name of its own per process) have fixed names in the documents folder, shared by
// every program on it: a road holds the export lock from the cut until its
// ringtone is stored (or it stops; a preview until its processed file is
// ready). When another program holds it, the road waits, tells the view
// once, and gives up after workFilesTimeout().
//
// Main thread only. The cut's notification may arrive on a worker thread;
// its handling is moved to the main thread first. Files are opened on the
// asset's loading thread, never on the main thread.
#include "pipeline/AudioEffectsHelper.h"
#include "platform/core/DocumentsLock.h"
#include "platform/media/LoudnessGain.h"
#include "screens/ExportViewController.h"
#include "screens/SegmentPlayback.h"

#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

namespace quorvel {

class AVURLAsset;
class EditorControls;
class Ringtune;

class EditorFlowsView {
public:
    virtual ~EditorFlowsView() = default;
    virtual void showProcessingNotice() = 0;
    virtual void dismissProcessingNotice() = 0;
    // The processed segment has loaded with its range and envelope; the
    // working ringtone holds both. A preview plays it next, an export hands
    // it to the writer right after this call.
    virtual void processedSegmentLoaded(const SegmentPlayback& playback, bool forPreview) = 0;
    // The export has started; show its screen.
    virtual void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) = 0;
    // The road stopped before a preview or an export started (the cause is logged).
    virtual void flowStopped(const QString& reason) = 0;
    // Another program's export holds the work files; the road waits for it.
    // Called once per wait.
    virtual void waitingForAnotherExport() {}
};

class EditorFlows : public AudioEffectsHelperDelegate {
public:
    // `controls` gives the segment and the fades; the speed position is the
    // working ringtone's. The export screen reports its end to `finishDelegate`.
    EditorFlows(EditorFlowsView& view, const EditorControls& controls,
                ExportViewControllerFinishDelegate* finishDelegate, bool hardwareEncoderAvailable);
    ~EditorFlows() override;

    void setRingtune(std::shared_ptr<Ringtune> ringtune) { ringtune_ = std::move(ringtune); }
    const std::shared_ptr<Ringtune>& ringtune() const { return ringtune_; }
    bool isHardwareEncoderAvailable() const { return hardwareEncoderAvailable_; }
    bool playTapped() const { return playTapped_; }

    // The export button.
    void preProcessRingtoneForExport();
    // The play button: plays at once what is already processed, else cuts.
    void preProcessRingtoneForPlay();
    // "assetURLExported": decide whether the engine runs.
    void processRingtoneWithDirac();
    // AudioEffectsHelperDelegate
    void effectsDelegateDidStartWritingURL(const QUrl& url, int64_t frames) override;
    void effectsDelegateDidFinishWithURL(const QUrl& url) override;
    void effectsDelegateDidFail(const QString& reason) override;
    void loadAndPlayEffectsAsset();
    void loadAndExportEffectsAsset();
    void exportRingTone();

    // The stretched range R of the processed file and its fade envelope,
    // stored in the ringtone; the same for a preview and an export.
    // `heldSeconds`: what the processed file holds, when known before it is
    // complete; else the asset's duration.
    static SegmentPlayback processedSegment(const std::shared_ptr<AVURLAsset>& asset, Ringtune& ringtune,
                                            const EditorControls& controls, double heldSeconds = -1.0);

    const std::shared_ptr<ExportViewController>& exportScreen() const { return exportScreen_; }
    // Whether this road holds the work files now.
    bool holdsWorkFiles() const { return workFiles_.isLocked(); }
    // How long a road waits for another program's export (10 minutes).
    void setWorkFilesTimeout(std::chrono::milliseconds timeout) { workFilesTimeout_ = timeout; }
    std::chrono::milliseconds workFilesTimeout() const { return workFilesTimeout_; }
    static constexpr std::chrono::minutes kWorkFilesTimeout{10};

    EditorFlows(const EditorFlows&) = delete;
    EditorFlows& operator=(const EditorFlows&) = delete;

private:
    void cut();
    void removeCutObservers();
    void decideOnEngine(const std::shared_ptr<AVURLAsset>& input);
    void loadProcessedSegment(bool forPreview);
    // Whether an export may start while the engine still writes its file:
    // the platform export follows the file as it grows. A preview, the AAC
    // writer and a loudness measurement need the whole file first.
    bool mayExportWhileProcessing() const;
    // With "Normalize Loudness" on, measures the segment (after the fades) on
    // a worker and puts the gain into its mix before `next` runs; a segment
    // measured before with the same file, range and fades is not measured again.
    void normalizeLoudnessThen(const SegmentPlayback& playback, std::function<void()> next);
    // Runs `next` once this road holds the work files, or stops the road.
    void takeWorkFilesThen(std::function<void()> next);
    void pollWorkFiles();
    void watchExport();
    void releaseWorkFiles();
    void stop(const QString& reason);

    EditorFlowsView& view_;
    const EditorControls& controls_;
    ExportViewControllerFinishDelegate* finishDelegate_;
    bool hardwareEncoderAvailable_;
    bool playTapped_ = false;
    std::shared_ptr<Ringtune> ringtune_;
    std::shared_ptr<AudioEffectsHelper> effectsHelper_;
    // The export has started from the engine's file while the engine writes it.
    bool exportingWhileProcessing_ = false;
    std::shared_ptr<ExportViewController> exportScreen_;
    DocumentsLock workFiles_{DocumentsLock::kExportLockName};
    std::chrono::milliseconds workFilesTimeout_{kWorkFilesTimeout};
    std::chrono::steady_clock::time_point waitStarted_;
    std::function<void()> afterWait_;
    struct MeasuredLoudness {
        QUrl url;
        qint64 modified = -1;
        CMTimeRange range = kCMTimeRangeInvalid;
        float fadeIn = -1, fadeOut = -1;
        std::shared_ptr<const LoudnessGain> gain;
    };
    MeasuredLoudness measured_;
    QTimer waitTimer_;  // tries the lock while another export holds it
    QTimer watchTimer_; // releases it when the export screen's outcome is known
    // Alive while this object is; asynchronous completions check it before acting.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace quorvel
