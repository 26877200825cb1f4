#pragma once
// The editor's road from the chosen segment to a preview or a stored
// ringtone: cut the segment (or take the recording), run the time-stretch
// engine or skip it, load the processed file and compute its stretched
// range and fade envelope (one computation for the preview and the export),
// then choose the writer and start the export. The editor's presenter owns
// this road; what only the screen does (the processing notice, playing,
// presenting the export screen) goes through EditorFlowsView.
//
// Main thread only. The cut's notification may arrive on a worker thread;
// its handling is moved to the main thread first. Files are opened on the
// asset's loading thread, never on the main thread.
#include "AudioEffectsHelper.h"
#include "ExportViewController.h"
#include "SegmentPlayback.h"

#include <QString>
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
    void effectsDelegateDidFinishWithURL(const QUrl& url) override;
    void loadAndPlayEffectsAsset();
    void loadAndExportEffectsAsset();
    void exportRingTone();

    // The stretched range R of the processed file and its fade envelope,
    // stored in the ringtone; the same for a preview and an export.
    static SegmentPlayback processedSegment(const std::shared_ptr<AVURLAsset>& asset, Ringtune& ringtune,
                                            const EditorControls& controls);

    const std::shared_ptr<ExportViewController>& exportScreen() const { return exportScreen_; }

    EditorFlows(const EditorFlows&) = delete;
    EditorFlows& operator=(const EditorFlows&) = delete;

private:
    void cut();
    void removeCutObservers();
    void decideOnEngine(const std::shared_ptr<AVURLAsset>& input);
    void loadProcessedSegment(bool forPreview);

    EditorFlowsView& view_;
    const EditorControls& controls_;
    ExportViewControllerFinishDelegate* finishDelegate_;
    bool hardwareEncoderAvailable_;
    bool playTapped_ = false;
    std::shared_ptr<Ringtune> ringtune_;
    std::shared_ptr<AudioEffectsHelper> effectsHelper_;
    std::shared_ptr<ExportViewController> exportScreen_;
    // Alive while this object is; asynchronous completions check it before acting.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace quorvel
