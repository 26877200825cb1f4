#include "MainViewPresenter.h"

#include "AVAudioSession.h"
#include "AVURLAsset.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "MPMediaItem.h"
#include "MPMediaLibrary.h"
#include "Paths.h"
#include "Ringtune.h"
#include "TypedTime.h"
#include "WorkingRingtuneFactory.h"

#include <QPointer>
#include <cmath>

namespace quorvel {

MainViewPresenter::MainViewPresenter(bool hardwareEncoderAvailable, std::unique_ptr<PreviewPlayer> player,
                                     QObject* parent)
    : QObject(parent), player_(std::move(player)), flows_(*this, controls_, this, hardwareEncoderAvailable),
      noArtworkImage_(Paths::imagePath(QStringLiteral("no_artwork.png"))),
      now_([] { return QDateTime::currentDateTimeUtc(); }) {
    layout_ = GenericHelper::slideRangeOnWave(controls_.start(), controls_.length());
}

MainViewPresenter::~MainViewPresenter() {
    // The player's observers call back into this object: end them first.
    if (player_) {
        if (endObserver_) player_->removeEndOfItemObserver(endObserver_);
        if (playerObserver_) player_->removeTimeObserver(playerObserver_);
        player_.reset();
    }
}

// ---- appearing, picking, closing screens ----

void MainViewPresenter::viewDidLoad() {
    NSError error;
    if (!AVAudioSession::sharedInstance().setCategory(AVAudioSessionCategoryPlayback, &error))
        NSLog("audioSession: %@ %d %@", error.domain, error.code, error.localizedDescription);
}

void MainViewPresenter::viewDidAppear() {
    startScreenShown_ = !ringtune_;
    if (!ringtune_) {
        emit changed();
        return;
    }
    // Back from help, the list or a cancelled pick: the segment chosen stays.
    if (loadedRingtune_.lock() == ringtune_ && !loading_) {
        emit changed();
        return;
    }
    loadFullAsset();
}

void MainViewPresenter::mediaPickerDidPickMediaItems(const std::vector<MPMediaItem>& items) {
    if (view_) view_->dismissPresentedScreen();
    if (!items.empty() && library_ && !WorkingRingtuneFactory::isProtected(items.front()) &&
        !library_->isItemReady(items.front())) {
        preparePickedItem(items.front());
        return;
    }
    if (!items.empty()) adoptPickedItem(items.front());
    viewDidAppear();
}

void MainViewPresenter::adoptPickedItem(const MPMediaItem& item) {
    if (auto ringtune = WorkingRingtuneFactory::ringtuneForItem(item, noArtworkImage_)) {
        adoptRingtune(std::move(ringtune));
    } else if (view_) {
        // The working ringtone stays as it was.
        view_->showAlert(QStringLiteral("DRM"), NSLocalizedString(QStringLiteral("drm_protected")));
    }
}

// A song that must be decoded first is decoded on the library's worker
// behind the processing notice; the editor takes it when that is done.
void MainViewPresenter::preparePickedItem(const MPMediaItem& item) {
    busy_ = true;
    processingNoticeShown_ = true;
    emit changed();
    QPointer<MainViewPresenter> self(this);
    library_->prepareItem(item, [](float) {}, [self, item](const QString& error) {
        if (!self) return;
        self->busy_ = false;
        self->processingNoticeShown_ = false;
        if (error.isEmpty()) {
            self->adoptPickedItem(item);
        } else {
            NSLog("The song could not be decoded: %@", error);
            if (self->view_) self->view_->showAlert(QString(), NSLocalizedString(QStringLiteral("song_unreadable")));
        }
        self->viewDidAppear();
    });
}

void MainViewPresenter::mediaPickerDidCancel() { closePresentedScreenAndReappear(); }

void MainViewPresenter::startViewControllerDidFinish(const std::vector<MPMediaItem>& items) {
    mediaPickerDidPickMediaItems(items);
}

void MainViewPresenter::recorderViewControllerDidFinish(const QUrl& recording) {
    if (!recording.isEmpty())
        adoptRingtune(WorkingRingtuneFactory::ringtuneForRecording(recording, now_(), noArtworkImage_));
    closePresentedScreenAndReappear();
}

void MainViewPresenter::exportViewControllerDidFinish(ExportViewController*) {
    // The road keeps the screen until the next export, so the screen outlives
    // this call even when the view lets go of it.
    busy_ = false;
    // After an export the song is loaded again, with start 0 and length 3.
    loadedRingtune_.reset();
    closePresentedScreenAndReappear();
}

void MainViewPresenter::fileManagerControllerDidFinish() { closePresentedScreenAndReappear(); }

void MainViewPresenter::helpWebViewControllerDidFinish() { closePresentedScreenAndReappear(); }

void MainViewPresenter::closePresentedScreenAndReappear() {
    if (view_ && !ringtune_ && startScreenShown_) view_->dismissScreensOverStartScreen();
    else if (view_) view_->dismissPresentedScreen();
    viewDidAppear();
}

void MainViewPresenter::adoptRingtune(std::shared_ptr<Ringtune> ringtune) {
    // The sliders keep their positions across songs.
    ringtune->setSpeed(controls_.speed());
    ringtune->setPitch(controls_.pitch());
    ringtune_ = std::move(ringtune);
    flows_.setRingtune(ringtune_);
}

// ---- loading the song ----

void MainViewPresenter::loadFullAsset() {
    const uint64_t generation = ++loadGeneration_;
    loadedRingtune_.reset();
    waveform_.clearSong();
    loading_ = true;
    songLoadFailed_ = false;
    emit changed();
    auto asset = AVURLAsset::URLAssetWithURL(ringtune_->assetURL());
    if (!asset) {
        NSLog("The asset's tracks were not loaded:\n%@", QStringLiteral("the song has no URL"));
        songLoadEnded(true);
        return;
    }
    // The file is opened on the asset's own thread; a newer load or a gone
    // presenter drops this completion.
    QPointer<MainViewPresenter> self(this);
    asset->loadValuesAsynchronouslyForKeys({QStringLiteral("tracks")}, [self, asset, generation] {
        if (self && self->loadGeneration_ == generation) self->fullAssetLoaded(asset);
    });
}

void MainViewPresenter::fullAssetLoaded(const std::shared_ptr<AVURLAsset>& asset) {
    NSError error;
    if (asset->statusOfValueForKey(QStringLiteral("tracks"), &error) != AVKeyValueStatusLoaded) {
        NSLog("The asset's tracks were not loaded:\n%@", error.localizedDescription);
        songLoadEnded(true);
        return;
    }
    // Loaded values are read without touching the file again.
    const float songLength = float(CMTimeGetSeconds(asset->duration()));
    if (asset->tracksWithMediaType(AVMediaTypeAudio).empty() || !(songLength > 0.0f)) {
        NSLog("The asset's tracks were not loaded:\n%@",
              QStringLiteral("%1 has no audio of a known length").arg(asset->URL().toString()));
        songLoadEnded(true);
        return;
    }
    playerItem_ = AVPlayerItem::playerItemWithAsset(asset);
    if (player_) {
        player_->pause();
        player_->replaceCurrentItemWithPlayerItem(playerItem_);
    }
    playing_ = false;
    controls_.loadReset(songLength);
    placeSegment();
    waveContentSize_ = QSizeF(double(songLength) * GenericHelper::kPointsPerSecond, GenericHelper::kStripHeight);
    loadedRingtune_ = ringtune_;
    waveform_.setSong(ringtune_->assetURL(), asset->filePath(), library_);
    markNotProcessed();
    songLoadEnded(false);
}

void MainViewPresenter::songLoadEnded(bool failed) {
    loading_ = false;
    songLoadFailed_ = failed;
    if (failed && view_) view_->showAlert(QString(), NSLocalizedString(QStringLiteral("song_unreadable")));
    emit changed();
}

// ---- buttons ----

void MainViewPresenter::presentScreen(EditorScreen screen) {
    if (busy_) return;
    if (view_) view_->presentScreen(screen);
}

void MainViewPresenter::showMediaPicker() { presentScreen(EditorScreen::MediaPicker); }
void MainViewPresenter::startRecorder() { presentScreen(EditorScreen::Recorder); }
void MainViewPresenter::showFileManager() { presentScreen(EditorScreen::FileManager); }
void MainViewPresenter::showHelp() { presentScreen(EditorScreen::Help); }

void MainViewPresenter::playOrPauseMusic() {
    if (!areControlsEnabled()) return;
    if (player_ && player_->rate() != 0.0f) {
        stopPlaying();
        return;
    }
    busy_ = true;
    emit changed();
    flows_.preProcessRingtoneForPlay();
}

void MainViewPresenter::preProcessRingtoneForExport() {
    if (!areControlsEnabled()) return;
    busy_ = true;
    emit changed();
    flows_.preProcessRingtoneForExport();
}

// ---- controls ----

void MainViewPresenter::markNotProcessed() {
    if (ringtune_) ringtune_->setProcessed(false);
}

void MainViewPresenter::placeSegment() {
    layout_ = waveform_.isShown() ? GenericHelper::slideRangeOverSong(controls_.start(), controls_.length())
                                  : GenericHelper::slideRangeOnWave(controls_.start(), controls_.length());
}

void MainViewPresenter::segmentChanged() {
    placeSegment();
    markNotProcessed();
    emit changed();
}

// The preview went on playing the old segment under a moved marker.
void MainViewPresenter::stopPreviewForChange() {
    if (playing_) stopPlaying();
}

void MainViewPresenter::startValueChanged(float seconds) {
    if (!areControlsEnabled()) return;
    stopPreviewForChange();
    controls_.setStart(seconds);
    segmentChanged();
}

void MainViewPresenter::rangeValueChanged(float seconds) {
    if (!areControlsEnabled()) return;
    stopPreviewForChange();
    controls_.setLength(seconds);
    segmentChanged();
}

void MainViewPresenter::startForward() {
    if (!areControlsEnabled()) return;
    if (view_) view_->playTickSound();
    stopPreviewForChange();
    controls_.stepStart(true);
    segmentChanged();
}

void MainViewPresenter::startBackward() {
    if (!areControlsEnabled()) return;
    if (view_) view_->playTickSound();
    stopPreviewForChange();
    controls_.stepStart(false);
    segmentChanged();
}

void MainViewPresenter::rangeForward() {
    if (!areControlsEnabled()) return;
    if (view_) view_->playTickSound();
    stopPreviewForChange();
    controls_.stepLength(true);
    segmentChanged();
}

void MainViewPresenter::rangeBackward() {
    if (!areControlsEnabled()) return;
    if (view_) view_->playTickSound();
    stopPreviewForChange();
    controls_.stepLength(false);
    segmentChanged();
}

std::optional<float> MainViewPresenter::typedSeconds(const QString& text, TypedTimeOutcome& outcome) const {
    if (!areControlsEnabled() || loading_) return std::nullopt;
    QString reason;
    const std::optional<float> seconds = TypedTime::parse(text, &reason);
    if (!seconds) outcome.note = NSLocalizedString(reason);
    outcome.accepted = seconds.has_value();
    return seconds;
}

MainViewPresenter::TypedTimeOutcome MainViewPresenter::startTyped(const QString& text) {
    TypedTimeOutcome outcome;
    const std::optional<float> seconds = typedSeconds(text, outcome);
    if (!seconds) return outcome;
    startValueChanged(*seconds);
    if (controls_.start() < *seconds) outcome.note = NSLocalizedString(QStringLiteral("typed_latest_start"));
    return outcome;
}

MainViewPresenter::TypedTimeOutcome MainViewPresenter::lengthTyped(const QString& text) {
    TypedTimeOutcome outcome;
    const std::optional<float> seconds = typedSeconds(text, outcome);
    if (!seconds) return outcome;
    rangeValueChanged(*seconds);
    if (controls_.length() < *seconds) outcome.note = NSLocalizedString(QStringLiteral("typed_longest"));
    else if (controls_.length() > *seconds) outcome.note = NSLocalizedString(QStringLiteral("typed_shortest"));
    return outcome;
}

void MainViewPresenter::setSongWaveformShown(bool shown) {
    if (shown == waveform_.isShown()) return;
    waveform_.setShown(shown);
    placeSegment();
    emit changed();
}

void MainViewPresenter::fadeInValueChanged(float seconds, SliderPhase phase) {
    if (!areControlsEnabled()) return;
    controls_.setFadeIn(seconds, phase);
    markNotProcessed();
    emit changed();
}

void MainViewPresenter::fadeOutValueChanged(float seconds, SliderPhase phase) {
    if (!areControlsEnabled()) return;
    controls_.setFadeOut(seconds, phase);
    markNotProcessed();
    emit changed();
}

void MainViewPresenter::normalizeLoudnessChanged(bool on) {
    if (!areControlsEnabled() || controls_.isLoudnessNormalized() == on) {
        emit changed(); // a switch flipped while it cannot act goes back
        return;
    }
    controls_.setLoudnessNormalized(on);
    markNotProcessed();
    emit changed();
}

void MainViewPresenter::pitchValueChanged(float semitones, SliderPhase phase) {
    if (!areControlsEnabled()) return;
    ringtune_->setPitch(controls_.setPitch(semitones, phase));
    markNotProcessed();
    emit changed();
}

void MainViewPresenter::speedValueChanged(float position, SliderPhase phase) {
    if (!areControlsEnabled()) return;
    // The ringtone keeps the position: the stretched range and the engine's
    // factor are both made from it.
    ringtune_->setSpeed(controls_.setSpeed(position, phase));
    markNotProcessed();
    emit changed();
}

// ---- the road (EditorFlowsView) ----

void MainViewPresenter::showProcessingNotice() {
    processingNoticeShown_ = true;
    emit changed();
}

void MainViewPresenter::dismissProcessingNotice() {
    processingNoticeShown_ = false;
    emit changed();
}

void MainViewPresenter::processedSegmentLoaded(const SegmentPlayback& playback, bool forPreview) {
    lastPlayback_ = playback;
    if (forPreview) {
        playProcessedSegment(playback);
        return;
    }
    // The export's item becomes current; the end observation stays as it is.
    effectsPlayerItem_ = playback.item;
    if (player_) {
        player_->pause();
        player_->replaceCurrentItemWithPlayerItem(effectsPlayerItem_);
    }
    playing_ = false;
}

void MainViewPresenter::playProcessedSegment(const SegmentPlayback& playback) {
    busy_ = false;
    if (player_ && endObserver_) player_->removeEndOfItemObserver(endObserver_);
    endObserver_ = 0;
    effectsPlayerItem_ = playback.item;
    if (!player_) {
        emit changed();
        return;
    }
    endObserver_ = player_->addEndOfItemObserver(effectsPlayerItem_, [this] { playerItemDidReachEnd(); });
    player_->pause();
    player_->replaceCurrentItemWithPlayerItem(effectsPlayerItem_);
    if (playerObserver_) player_->removeTimeObserver(playerObserver_);
    playerObserver_ = player_->addPeriodicTimeObserverForInterval(
        SegmentPlayback::periodicInterval(), [this](const CMTime& time) { playCursorTick(time); });
    if (player_->status() != PreviewPlayer::Status::ReadyToPlay) {
        // Nothing plays; the next press tries again.
        playing_ = false;
        emit changed();
        return;
    }
    playing_ = true;
    player_->seekToTime(playback.seekTime());
    player_->setForwardPlaybackEndTime(playback.forwardPlaybackEndTime());
    player_->play();
    emit changed();
}

void MainViewPresenter::playCursorTick(const CMTime& time) {
    if (!ringtune_) return;
    const float t = float(CMTimeGetSeconds(time));
    playCurrentTime_ = GenericHelper::timeToString(t, true);
    const float x = GenericHelper::playingCursorPoint(t, controls_.start(), controls_.length(), ringtune_->speed(),
                                                      ringtune_->isRecorded());
    layout_.cursorFrame = QRectF(x, 0, GenericHelper::kCursorWidth, GenericHelper::kOverlayHeight);
    emit changed();
}

void MainViewPresenter::playerItemDidReachEnd() {
    // The player stays at the end; the next press starts again from R's start.
    playing_ = false;
    layout_.cursorFrame = GenericHelper::cursorPoint(controls_.start(), controls_.length());
    emit changed();
}

void MainViewPresenter::stopPlaying() {
    playing_ = false;
    if (player_) player_->pause();
    layout_.cursorFrame = GenericHelper::cursorPoint(controls_.start(), controls_.length());
    emit changed();
}

void MainViewPresenter::presentExportScreen(const std::shared_ptr<ExportViewController>& screen) {
    // The editor stays busy until the export screen has closed.
    if (view_) view_->presentExportScreen(screen);
    emit changed();
}

void MainViewPresenter::flowStopped(const QString& reason) {
    busy_ = false;
    processingNoticeShown_ = false;
    if (view_) view_->showAlert(QString(), reason);
    emit changed();
}

void MainViewPresenter::waitingForAnotherExport() {
    if (view_) view_->waitingForAnotherExport();
}

// ---- what the view shows ----

QSizeF MainViewPresenter::waveContentSize() const {
    // Room after the song's end, so the strip reaches the offset that puts
    // the last seconds under the marker.
    if (waveform_.isShown() && !waveContentSize_.isEmpty())
        return waveContentSize_ + QSizeF(GenericHelper::kVisibleWidth - GenericHelper::kRightAnchor, 0);
    return waveContentSize_;
}

QString MainViewPresenter::shortSourceNotice() const {
    const double seconds = controls_.songLength();
    if (!ringtune_ || loading_ || songLoadFailed_ || loadedRingtune_.lock() != ringtune_ ||
        !(seconds < SegmentControls::kShortestLength))
        return {};
    const QString key = ringtune_->isRecorded() ? QStringLiteral("short_recording") : QStringLiteral("short_song");
    return NSLocalizedString(key).arg(QString::number(seconds, 'f', seconds < 0.1 ? 2 : 1));
}

QString MainViewPresenter::playStopButtonImage() const {
    return playing_ ? QStringLiteral("stop.png") : QStringLiteral("play.png");
}

QString MainViewPresenter::nowPlayingTitle() const { return ringtune_ ? ringtune_->title() : QString(); }

QString MainViewPresenter::nowPlayingArtist() const { return ringtune_ ? ringtune_->artist() : QString(); }

QImage MainViewPresenter::artwork() const { return ringtune_ ? ringtune_->artwork() : noArtworkImage_; }

} // namespace quorvel
