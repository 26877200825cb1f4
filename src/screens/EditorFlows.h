#pragma once
// The editor's road from the chosen segment to a stored ringtone: cut the
// segment (or take the recording), run the time-stretch engine or skip it,
// attach the fade envelope over the processed range, choose the writer and
// hand the export to the export screen. The editor screen and the
// command-line program both drive this class; what only a screen can do
// (the processing notice, playing, presenting screens) goes through
// EditorFlowsView.
//
// Main thread only. The cut's notification may arrive on a worker thread;
// its handling is moved to the main thread first.
#include "AudioEffectsHelper.h"
#include "ExportViewController.h"
#include "SegmentControls.h"

#include <QString>
#include <memory>

namespace quorvel {

class AVPlayerItem;
class Ringtune;

class EditorFlowsView {
public:
    virtual ~EditorFlowsView() = default;
    virtual void showProcessingNotice() = 0;
    virtual void dismissProcessingNotice() = 0;
    // The export has started; show its screen.
    virtual void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) = 0;
    // The processed segment is ready to be previewed (the play button's road).
    virtual void loadAndPlayEffectsAsset() = 0;
    // The road stopped before an export started (the message is already logged).
    virtual void flowStopped(const QString& reason) = 0;
};

class EditorFlows : public AudioEffectsHelperDelegate, public ExportViewControllerFinishDelegate {
public:
    EditorFlows(EditorFlowsView& view, bool hardwareEncoderAvailable);
    ~EditorFlows() override;

    void setRingtune(std::shared_ptr<Ringtune> ringtune) { ringtune_ = std::move(ringtune); }
    const std::shared_ptr<Ringtune>& ringtune() const { return ringtune_; }

    // The control values the flows read (seconds; speed position; semitones).
    SegmentControls& controls() { return controls_; }
    void setFades(float fadeIn, float fadeOut) { fadeIn_ = fadeIn; fadeOut_ = fadeOut; }
    void setSpeedPosition(float v) { speedPosition_ = v; }
    float speedPosition() const { return speedPosition_; }
    bool isHardwareEncoderAvailable() const { return hardwareEncoderAvailable_; }
    bool playTapped() const { return playTapped_; }

    // The export button.
    void preProcessRingtoneForExport();
    // The play button when the working ringtone is not processed.
    void preProcessRingtoneForPlay();
    // "assetURLExported": decide whether the engine runs.
    void processRingtoneWithDirac();
    // AudioEffectsHelperDelegate
    void effectsDelegateDidFinishWithURL(const QUrl& url) override;
    void effectsDelegateDidFail(const QString& reason) override;
    void loadAndExportEffectsAsset();
    void exportRingTone();
    // ExportViewControllerFinishDelegate
    void exportViewControllerDidFinish(ExportViewController* sender) override;

    const std::shared_ptr<ExportViewController>& exportScreen() const { return exportScreen_; }
    const std::shared_ptr<AVPlayerItem>& effectsPlayerItem() const { return effectsPlayerItem_; }

    EditorFlows(const EditorFlows&) = delete;
    EditorFlows& operator=(const EditorFlows&) = delete;

private:
    void cut();
    void removeCutObservers();

    EditorFlowsView& view_;
    bool hardwareEncoderAvailable_;
    bool playTapped_ = false;
    std::shared_ptr<Ringtune> ringtune_;
    SegmentControls controls_;
    float fadeIn_ = 0.0f;
    float fadeOut_ = 0.0f;
    float speedPosition_ = 0.0f;
    std::shared_ptr<AudioEffectsHelper> effectsHelper_;
    std::shared_ptr<AVPlayerItem> effectsPlayerItem_;
    std::shared_ptr<ExportViewController> exportScreen_;
    // Alive while this object is; cut notifications check it before acting.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace quorvel
