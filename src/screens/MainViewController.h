#pragma once
// The editor screen's behaviour and state without widgets: the working
// ringtone made from a pick or a recording, the loading of the song, the
// rules of every control, the preview through a PreviewPlayer, the export
// road (EditorFlows) and the closing of the screens the editor presents.
// The widget (MainViewWidget) draws the state below after every
// changed() and forwards its controls' actions; the command-line program
// drives the same object without a screen.
//
// Thread safety: main thread only, with a QCoreApplication. Asynchronous
// work (loading, the cut, the engine) reports back on the main thread.
#include "editor/EditorControls.h"
#include "editor/GenericHelper.h"
#include "screens/EditorFlows.h"
#include "screens/ExportViewController.h"
#include "screens/MainView.h"
#include "screens/PreviewPlayer.h"
#include "screens/RecorderViewController.h"
#include "screens/SongWaveform.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QUrl>
#include <functional>
#include <optional>
#include <memory>
#include <vector>

namespace quorvel {

class MPMediaItem;
class MPMediaLibrary;
class Ringtune;

class MainViewController : public QObject,
                           public ExportViewControllerFinishDelegate,
                           public RecorderViewControllerDelegate,
                           private EditorFlowsView {
    Q_OBJECT

public:
    // `player` plays previews; without one the preview is computed but not played.
    explicit MainViewController(bool hardwareEncoderAvailable,
                                std::unique_ptr<PreviewPlayer> player = nullptr, QObject* parent = nullptr);
    ~MainViewController() override;

    // Not owned; the view clears it (nullptr) before it goes.
    void setView(MainView* view) { view_ = view; }
    // The clock that dates recordings (tests set it).
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    // The library that readies picked songs which must be decoded first
    // (FLAC, Ogg, Opus...); without one a pick is used as it is. Not owned.
    void setMediaLibrary(MPMediaLibrary* library) { library_ = library; }

    // The editor's screen was set up: the audio session is set to playback
    // (a failure is logged; previews are still tried).
    void viewDidLoad();
    // The editor became visible: with a new working ringtone (or after an
    // export) the song loads (start 0, length 3.0 when it has loaded); with
    // the one already loaded the segment stays as the user left it; without
    // one the start screen shows.
    void viewDidAppear();

    // Picks and the closing of presented screens. Each closes the presented
    // screen and then reappears.
    void mediaPickerDidPickMediaItems(const std::vector<MPMediaItem>& items);
    void mediaPickerDidCancel();
    void startViewControllerDidFinish(const std::vector<MPMediaItem>& items);
    // The recording's file, or an empty URL when nothing was recorded.
    void recorderViewControllerDidFinish(const QUrl& recording) override;
    void exportViewControllerDidFinish(ExportViewController* sender) override;
    void fileManagerControllerDidFinish();
    void helpWebViewControllerDidFinish();

    // Buttons.
    void showMediaPicker();
    void startRecorder();
    void showFileManager();
    void showHelp();
    void playOrPauseMusic();
    void preProcessRingtoneForExport();

    // Controls. Start and length apply at once (no snapping); fades, pitch and
    // speed snap on release. Each change marks the working ringtone not processed.
    void startValueChanged(float seconds);
    void rangeValueChanged(float seconds);
    void fadeInValueChanged(float seconds, SliderPhase phase = SliderPhase::Released);
    void fadeOutValueChanged(float seconds, SliderPhase phase = SliderPhase::Released);
    void pitchValueChanged(float semitones, SliderPhase phase = SliderPhase::Released);
    void speedValueChanged(float position, SliderPhase phase = SliderPhase::Released);
    // The "Normalize Loudness" switch.
    void normalizeLoudnessChanged(bool on);
    // Step buttons: the tick, then 0.1 s more or less (clamped to the slider).
    void startForward();
    void startBackward();
    void rangeForward();
    void rangeBackward();

    // A time typed for the start or the length ("1:23.4", "83.4", "20"),
    // applied through startValueChanged() / rangeValueChanged(). `accepted`
    // is false for a text that is no time (nothing changes); `note` says why,
    // or, for an accepted time, a short word when the control's limit took
    // over ("latest start", "longest", "shortest"); empty otherwise.
    struct TypedTimeOutcome {
        bool accepted = false;
        QString note;
    };
    TypedTimeOutcome startTyped(const QString& text);
    TypedTimeOutcome lengthTyped(const QString& text);

    // The song's own waveform on the strip (off: the tiled picture). On, the
    // marker always sits over the audio it selects (GenericHelper's
    // slideRangeOverSong) and the strip has room to scroll the song's last
    // seconds under it.
    void setSongWaveformShown(bool shown);
    bool isSongWaveformShown() const { return waveform_.isShown(); }
    // The peaks to draw; null while they are readied or when not shown.
    const std::shared_ptr<const WaveformPeaks>& songWaveform() const { return waveform_.peaks(); }
    const SongWaveform& waveform() const { return waveform_; }

    // State.
    const std::shared_ptr<Ringtune>& ringtune() const { return ringtune_; }
    const EditorControls& controls() const { return controls_; }
    bool isStartScreenShown() const { return startScreenShown_; }
    // No working ringtone, or a preview or export being prepared: the
    // handlers change nothing.
    bool areControlsEnabled() const { return ringtune_ && !busy_; }
    bool isProcessingNoticeShown() const { return processingNoticeShown_; }
    bool isLoading() const { return loading_; }
    // The last load of the song failed (logged and told to the user).
    bool songLoadFailed() const { return songLoadFailed_; }
    bool isPlaying() const { return playing_; }
    QString playStopButtonImage() const;
    QString nowPlayingTitle() const;
    QString nowPlayingArtist() const;
    QImage artwork() const;
    const QImage& noArtworkImage() const { return noArtworkImage_; }
    // The waveform strip: marker and cursor frames, the rectangle to scroll
    // into view, the content size (song length x 6.75 by 79).
    QRectF rangeFrame() const { return layout_.rangeFrame; }
    QRectF cursorFrame() const { return layout_.cursorFrame; }
    QRectF visibleRect() const { return layout_.visibleRect; }
    QSizeF waveContentSize() const;
    // For a song or recording shorter than the shortest ringtone (3 s): a
    // sentence saying it is exported as it is; empty otherwise.
    QString shortSourceNotice() const;
    // The running time of the preview ("00:01.2").
    const QString& playCurrentTimeText() const { return playCurrentTime_; }
    // The processed segment last loaded for a preview or an export.
    const SegmentPlayback& lastPlayback() const { return lastPlayback_; }
    bool isHardwareEncoderAvailable() const { return flows_.isHardwareEncoderAvailable(); }
    // The road to a preview or an export (its work files' lock among others).
    const EditorFlows& flows() const { return flows_; }
    EditorFlows& flows() { return flows_; }

signals:
    void changed();

private:
    // EditorFlowsView
    void showProcessingNotice() override;
    void dismissProcessingNotice() override;
    void processedSegmentLoaded(const SegmentPlayback& playback, bool forPreview) override;
    void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) override;
    void flowStopped(const QString& reason) override;
    void waitingForAnotherExport() override;

    void adoptRingtune(std::shared_ptr<Ringtune> ringtune);
    void adoptPickedItem(const MPMediaItem& item);
    void preparePickedItem(const MPMediaItem& item);
    void closePresentedScreenAndReappear();
    void loadFullAsset();
    void fullAssetLoaded(const std::shared_ptr<AVURLAsset>& asset);
    void songLoadEnded(bool failed);
    void segmentChanged();
    void placeSegment();
    // The typed text's seconds; nothing (with the reason in `outcome`) for no time or a busy editor.
    std::optional<float> typedSeconds(const QString& text, TypedTimeOutcome& outcome) const;
    // The start or length is about to change: a playing preview stops.
    void stopPreviewForChange();
    void markNotProcessed();
    void playProcessedSegment(const SegmentPlayback& playback);
    void playCursorTick(const CMTime& time);
    void playerItemDidReachEnd();
    void stopPlaying();
    void presentScreen(EditorScreen screen);

    MainView* view_ = nullptr;
    MPMediaLibrary* library_ = nullptr;
    std::unique_ptr<PreviewPlayer> player_;
    EditorControls controls_;
    EditorFlows flows_;
    std::shared_ptr<Ringtune> ringtune_;
    // The working ringtone whose song has loaded with the segment shown; a
    // return to the editor keeps that segment. Cleared after an export.
    std::weak_ptr<Ringtune> loadedRingtune_;
    std::shared_ptr<AVPlayerItem> playerItem_;
    std::shared_ptr<AVPlayerItem> effectsPlayerItem_;
    PreviewPlayer::ObserverToken endObserver_ = 0;
    PreviewPlayer::ObserverToken playerObserver_ = 0;
    SegmentPlayback lastPlayback_;
    QImage noArtworkImage_;
    std::function<QDateTime()> now_;
    WaveLayout layout_;
    QSizeF waveContentSize_;
    QString playCurrentTime_;
    uint64_t loadGeneration_ = 0;
    bool startScreenShown_ = false;
    bool processingNoticeShown_ = false;
    bool busy_ = false;
    bool loading_ = false;
    bool songLoadFailed_ = false;
    bool playing_ = false;
    // Last: its job reports through changed() and is joined before the rest goes.
    SongWaveform waveform_{[this] { emit changed(); }};
};

} // namespace quorvel
