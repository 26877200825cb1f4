#include "screens/MainViewController.h"

#include "editor/Ringtune.h"
#include "editor/TypedTime.h"
#include "platform/audio/AVAudioSession.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/Paths.h"
#include "platform/media/AVURLAsset.h"
#include "platform/musiclibrary/MPMediaItem.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "screens/WorkingRingtuneFactory.h"

#include <QPointer>
#include <cmath>

namespace quorvel {

MainViewController::MainViewController(bool hardwareEncoderAvailable, std::unique_ptr<PreviewPlayer> player,
                                       QObject* parent)
    : QObject(parent), player_(std::move(player)), flows_(*this, controls_, this, hardwareEncoderAvailable),
      noArtworkImage_(Paths::imagePath(QStringLiteral("no_artwork.png"))),
      now_([] { return QDateTime::currentDateTimeUtc(); }) {
    layout_ = GenericHelper::slideRangeOnWave(controls_.start(), controls_.length());
}

MainViewController::~MainViewController() {
    // The player's observers call back into this object: end them first.
    if (player_) {
        if (endObserver_) player_->removeEndOfItemObserver(endObserver_);
        if (playerObserver_) player_->removeTimeObserver(playerObserver_);
        player_.reset();
    }
}

// ---- appearing, picking, closing screens ----

void MainViewController::viewDidLoad() {
    QUORVEL_ASSERT_MAIN_THREAD();
    NSError error;
    if (!AVAudioSession::sharedInstance().setCategory(AVAudioSessionCategoryPlayback, &error))
        NSLog("audioSession: %@ %d %@", error.domain, error.code, error.localizedDescription);
}

void MainViewController::viewDidAppear() {
    QUORVEL_ASSERT_MAIN_THREAD();
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

void MainViewController::mediaPickerDidPickMediaItems(const std::vector<MPMediaItem>& items) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_) view_->dismissPresentedScreen();
    if (!items.empty() && library_ && !WorkingRingtuneFactory::isProtected(items.front()) &&
        !library_->isItemReady(items.front())) {
        preparePickedItem(items.front());
        return;
    }
    if (!items.empty()) adoptPickedItem(items.front());
    viewDidAppear();
}

void MainViewController::adoptPickedItem(const MPMediaItem& item) {
    if (auto ringtune = WorkingRingtuneFactory::ringtuneForItem(item, noArtworkImage_)) {
        adoptRingtune(std::move(ringtune));
    } else if (view_) {
        // The working ringtone stays as it was.
        view_->showAlert(tr("DRM"), NSLocalizedString(QStringLiteral("drm_protected")));
    }
}

// A song that must be decoded first is decoded on the library's worker
// behind the processing notice; the editor takes it when that is done.
void MainViewController::preparePickedItem(const MPMediaItem& item) {
    busy_ = true;
    processingNoticeShown_ = true;
    emit changed();
    QPointer<MainViewController> self(this);
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

void MainViewController::mediaPickerDidCancel() { closePresentedScreenAndReappear(); }

void MainViewController::startViewControllerDidFinish(const std::vector<MPMediaItem>& items) {
    QUORVEL_ASSERT_MAIN_THREAD();
    mediaPickerDidPickMediaItems(items);
}

void MainViewController::recorderViewControllerDidFinish(const QUrl& recording) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!recording.isEmpty())
        adoptRingtune(WorkingRingtuneFactory::ringtuneForRecording(recording, now_(), noArtworkImage_));
    closePresentedScreenAndReappear();
}

void MainViewController::exportViewControllerDidFinish(ExportViewController*) {
    QUORVEL_ASSERT_MAIN_THREAD();
    // The road keeps the screen until the next export, so the screen outlives
    // this call even when the view lets go of it.
    busy_ = false;
    // After an export the song is loaded again, with start 0 and length 3.
    loadedRingtune_.reset();
    closePresentedScreenAndReappear();
}

void MainViewController::fileManagerControllerDidFinish() { closePresentedScreenAndReappear(); }

void MainViewController::helpWebViewControllerDidFinish() { closePresentedScreenAndReappear(); }

void MainViewController::closePresentedScreenAndReappear() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_ && !ringtune_ && startScreenShown_) view_->dismissScreensOverStartScreen();
    else if (view_) view_->dismissPresentedScreen();
    viewDidAppear();
}

void MainViewController::adoptRingtune(std::shared_ptr<Ringtune> ringtune) {
    // The sliders keep their positions across songs.
    ringtune->setSpeed(controls_.speed());
    ringtune->setPitch(controls_.pitch());
    ringtune_ = std::move(ringtune);
    flows_.setRingtune(ringtune_);
}

// ---- loading the song ----

void MainViewController::loadFullAsset() {
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
    QPointer<MainViewController> self(this);
    asset->loadValuesAsynchronouslyForKeys({QStringLiteral("tracks")}, [self, asset, generation] {
        if (self && self->loadGeneration_ == generation) self->fullAssetLoaded(asset);
    });
}

void MainViewController::fullAssetLoaded(const std::shared_ptr<AVURLAsset>& asset) {
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

void MainViewController::songLoadEnded(bool failed) {
    loading_ = false;
    songLoadFailed_ = failed;
    if (failed && view_) view_->showAlert(QString(), NSLocalizedString(QStringLiteral("song_unreadable")));
    emit changed();
}

// ---- buttons ----

void MainViewController::presentScreen(EditorScreen screen) {
    if (busy_) return;
    if (view_) view_->presentScreen(screen);
}

void MainViewController::showMediaPicker() { presentScreen(EditorScreen::MediaPicker); }
void MainViewController::startRecorder() { presentScreen(EditorScreen::Recorder); }
void MainViewController::showFileManager() { presentScreen(EditorScreen::FileManager); }
void MainViewController::showHelp() { presentScreen(EditorScreen::Help); }

void MainViewController::playOrPauseMusic() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    if (player_ && player_->rate() != 0.0f) {
        stopPlaying();
        return;
    }
    busy_ = true;
    emit changed();
    flows_.preProcessRingtoneForPlay();
}

void MainViewController::preProcessRingtoneForExport() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    busy_ = true;
    emit changed();
    flows_.preProcessRingtoneForExport();
}

// ---- controls ----

void MainViewController::markNotProcessed() {
    if (ringtune_) ringtune_->setProcessed(false);
}

void MainViewController::placeSegment() {
    layout_ = waveform_.isShown() ? GenericHelper::slideRangeOverSong(controls_.start(), controls_.length())
                                  : GenericHelper::slideRangeOnWave(controls_.start(), controls_.length());
}

void MainViewController::segmentChanged() {
    placeSegment();
    markNotProcessed();
    emit changed();
}

// The preview went on playing the old segment under a moved marker.
void MainViewController::stopPreviewForChange() {
    if (playing_) stopPlaying();
}

void MainViewController::startValueChanged(float seconds) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    stopPreviewForChange();
    controls_.setStart(seconds);
    segmentChanged();
}

void MainViewController::rangeValueChanged(float seconds) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    stopPreviewForChange();
    controls_.setLength(seconds);
    segmentChanged();
}

void MainViewController::startForward() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    if (view_) view_->playTickSound();
    stopPreviewForChange();
    controls_.stepStart(true);
    segmentChanged();
}

void MainViewController::startBackward() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    if (view_) view_->playTickSound();
    stopPreviewForChange();
    controls_.stepStart(false);
    segmentChanged();
}

void MainViewController::rangeForward() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    if (view_) view_->playTickSound();
    stopPreviewForChange();
    controls_.stepLength(true);
    segmentChanged();
}

void MainViewController::rangeBackward() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    if (view_) view_->playTickSound();
    stopPreviewForChange();
    controls_.stepLength(false);
    segmentChanged();
}

std::optional<float> MainViewController::typedSeconds(const QString& text, TypedTimeOutcome& outcome) const {
    if (!areControlsEnabled() || loading_) return std::nullopt;
    QString reason;
    const std::optional<float> seconds = TypedTime::parse(text, &reason);
    if (!seconds) outcome.note = NSLocalizedString(reason);
    outcome.accepted = seconds.has_value();
    return seconds;
}

MainViewController::TypedTimeOutcome MainViewController::startTyped(const QString& text) {
    TypedTimeOutcome outcome;
    const std::optional<float> seconds = typedSeconds(text, outcome);
    if (!seconds) return outcome;
    startValueChanged(*seconds);
    if (controls_.start() < *seconds) outcome.note = NSLocalizedString(QStringLiteral("typed_latest_start"));
    return outcome;
}

MainViewController::TypedTimeOutcome MainViewController::lengthTyped(const QString& text) {
    TypedTimeOutcome outcome;
    const std::optional<float> seconds = typedSeconds(text, outcome);
    if (!seconds) return outcome;
    rangeValueChanged(*seconds);
    if (controls_.length() < *seconds) outcome.note = NSLocalizedString(QStringLiteral("typed_longest"));
    else if (controls_.length() > *seconds) outcome.note = NSLocalizedString(QStringLiteral("typed_shortest"));
    return outcome;
}

void MainViewController::setSongWaveformShown(bool shown) {
    if (shown == waveform_.isShown()) return;
    waveform_.setShown(shown);
    placeSegment();
    emit changed();
}

void MainViewController::fadeInValueChanged(float seconds, SliderPhase phase) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    controls_.setFadeIn(seconds, phase);
    markNotProcessed();
    emit changed();
}

void MainViewController::fadeOutValueChanged(float seconds, SliderPhase phase) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    controls_.setFadeOut(seconds, phase);
    markNotProcessed();
    emit changed();
}

void MainViewController::normalizeLoudnessChanged(bool on) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled() || controls_.isLoudnessNormalized() == on) {
        emit changed(); // a switch flipped while it cannot act goes back
        return;
    }
    controls_.setLoudnessNormalized(on);
    markNotProcessed();
    emit changed();
}

void MainViewController::pitchValueChanged(float semitones, SliderPhase phase) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    ringtune_->setPitch(controls_.setPitch(semitones, phase));
    markNotProcessed();
    emit changed();
}

void MainViewController::speedValueChanged(float position, SliderPhase phase) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!areControlsEnabled()) return;
    // The ringtone keeps the position: the stretched range and the engine's
    // factor are both made from it.
    ringtune_->setSpeed(controls_.setSpeed(position, phase));
    markNotProcessed();
    emit changed();
}

// ---- the road (EditorFlowsView) ----

void MainViewController::showProcessingNotice() {
    processingNoticeShown_ = true;
    emit changed();
}

void MainViewController::dismissProcessingNotice() {
    processingNoticeShown_ = false;
    emit changed();
}

void MainViewController::processedSegmentLoaded(const SegmentPlayback& playback, bool forPreview) {
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

void MainViewController::playProcessedSegment(const SegmentPlayback& playback) {
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

void MainViewController::playCursorTick(const CMTime& time) {
    if (!ringtune_) return;
    const float t = float(CMTimeGetSeconds(time));
    playCurrentTime_ = GenericHelper::timeToString(t, true);
    const float x = GenericHelper::playingCursorPoint(t, controls_.start(), controls_.length(), ringtune_->speed(),
                                                      ringtune_->isRecorded());
    layout_.cursorFrame = QRectF(x, 0, GenericHelper::kCursorWidth, GenericHelper::kOverlayHeight);
    emit changed();
}

void MainViewController::playerItemDidReachEnd() {
    // The player stays at the end; the next press starts again from R's start.
    playing_ = false;
    layout_.cursorFrame = GenericHelper::cursorPoint(controls_.start(), controls_.length());
    emit changed();
}

void MainViewController::stopPlaying() {
    playing_ = false;
    if (player_) player_->pause();
    layout_.cursorFrame = GenericHelper::cursorPoint(controls_.start(), controls_.length());
    emit changed();
}

void MainViewController::presentExportScreen(const std::shared_ptr<ExportViewController>& screen) {
    // The editor stays busy until the export screen has closed.
    if (view_) view_->presentExportScreen(screen);
    emit changed();
}

void MainViewController::flowStopped(const QString& reason) {
    busy_ = false;
    processingNoticeShown_ = false;
    if (view_) view_->showAlert(QString(), reason);
    emit changed();
}

void MainViewController::waitingForAnotherExport() {
    if (view_) view_->waitingForAnotherExport();
}

// ---- what the view shows ----

QSizeF MainViewController::waveContentSize() const {
    // Room after the song's end, so the strip reaches the offset that puts
    // the last seconds under the marker.
    if (waveform_.isShown() && !waveContentSize_.isEmpty())
        return waveContentSize_ + QSizeF(GenericHelper::kVisibleWidth - GenericHelper::kRightAnchor, 0);
    return waveContentSize_;
}

QString MainViewController::shortSourceNotice() const {
    const double seconds = controls_.songLength();
    if (!ringtune_ || loading_ || songLoadFailed_ || loadedRingtune_.lock() != ringtune_ ||
        !(seconds < SegmentControls::kShortestLength))
        return {};
    const QString key = ringtune_->isRecorded() ? QStringLiteral("short_recording") : QStringLiteral("short_song");
    return NSLocalizedString(key).arg(QString::number(seconds, 'f', seconds < 0.1 ? 2 : 1));
}

QString MainViewController::playStopButtonImage() const {
    return playing_ ? QStringLiteral("stop.png") : QStringLiteral("play.png");
}

QString MainViewController::nowPlayingTitle() const { return ringtune_ ? ringtune_->title() : QString(); }

QString MainViewController::nowPlayingArtist() const { return ringtune_ ? ringtune_->artist() : QString(); }

QImage MainViewController::artwork() const { return ringtune_ ? ringtune_->artwork() : noArtworkImage_; }

} // namespace quorvel
