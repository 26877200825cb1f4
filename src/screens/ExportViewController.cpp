#include "screens/ExportViewController.h"

#include "editor/Ringtune.h"
#include "pipeline/AudioExporterFor3G.h"
#include "pipeline/ProgressValueArray.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSTimer.h"
#include "platform/media/AVAssetExportSession.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <thread>

namespace quorvel {

namespace {
// How long a closing program waits for a producer to stop; a cancelled
// export stops within one packet or frame.
constexpr auto kShutdownWait = std::chrono::seconds(10);
// How long it waits for a platform export that has not reported yet.
constexpr auto kSessionAppearWait = std::chrono::seconds(2);

bool isFinal(int status) {
    return status == AVAssetExportSessionStatusCompleted || status == AVAssetExportSessionStatusFailed ||
           status == AVAssetExportSessionStatusCancelled;
}
} // namespace

ExportViewController::ExportViewController() = default;

ExportViewController::~ExportViewController() {
    if (auto timer = timer_.lock()) timer->invalidate();
    // A status callback may still be on its way out on the service's thread.
    while (observing_.load() > 0) std::this_thread::yield();
}

void ExportViewController::setLabel(const QString& key) {
    labelKey_ = key;
    emit changed();
}

void ExportViewController::rememberSession(const std::shared_ptr<AVAssetExportSession>& session) {
    std::lock_guard lock(sessionMutex_);
    session_ = session;
}

void ExportViewController::progressTimer(NSTimer* timer) {
    QUORVEL_ASSERT_MAIN_THREAD();
    timer_ = timer->weak_from_this();
    if (shutDown_) {
        timer->invalidate();
        return;
    }
    const std::any& info = timer->userInfo();
    if (const auto* values = std::any_cast<std::shared_ptr<ProgressValueArray>>(&info)) {
        const float value = (*values)->elementZero();
        if (value < 0.0f) {
            // The writer ended without a file: cancelled, or failed for the reason it gives.
            timer->invalidate();
            if ((*values)->wasCancelled()) {
                outcome_ = Outcome::Cancelled;
                setLabel(QStringLiteral("cancelled"));
                return;
            }
            const QString reason = AudioExporterFor3G::sharedInstance().lastFailure();
            outcome_ = Outcome::Failed;
            failureDescription_ = reason.isEmpty() ? tr("the AAC writer stopped without a file") : reason;
            setLabel(QStringLiteral("failed"));
            return;
        }
        progress_ = value;
        emit changed();
        if (value >= 1.0f) finalizeExportCompleted(timer);
        return;
    }
    const auto* session = std::any_cast<std::shared_ptr<AVAssetExportSession>>(&info);
    if (!session || !*session) return;
    rememberSession(*session);
    const int status = (*session)->status();
    if (!advanceTo(status)) return;
    switch (status) {
    case AVAssetExportSessionStatusWaiting:
        setLabel(QStringLiteral("waiting"));
        break;
    case AVAssetExportSessionStatusExporting:
        progress_ = (*session)->progress();
        emit changed();
        break;
    case AVAssetExportSessionStatusCompleted:
        progress_ = 1.0f;
        emit changed();
        finalizeExportCompleted(timer);
        break;
    case AVAssetExportSessionStatusFailed:
        outcome_ = Outcome::Failed;
        failureDescription_ = (*session)->error().localizedDescription;
        setLabel(QStringLiteral("failed"));
        timer->invalidate();
        break;
    case AVAssetExportSessionStatusCancelled:
        outcome_ = Outcome::Cancelled;
        setLabel(QStringLiteral("cancelled"));
        timer->invalidate();
        break;
    default:
        break;
    }
}

void ExportViewController::observeValueForKeyPath(const QString& keyPath, AVAssetExportSession* session) {
    // Called on the export service's thread: no main-thread check here.
    if (keyPath != QStringLiteral("status") || !session) return;
    struct Observing {
        std::atomic<int>& count;
        explicit Observing(std::atomic<int>& c) : count(c) { ++count; }
        ~Observing() { --count; }
    } observing(observing_);
    // Read the status now, on the service's thread; act on it on the main
    // thread, always through its queue, so statuses apply in the order they came.
    const int status = session->status();
    std::shared_ptr<AVAssetExportSession> retained = session->shared_from_this();
    rememberSession(retained);
    if (shutDown_) return;
    // This screen is alive for the call (its caller holds it), so the pointer
    // may be taken here.
    postToMainThread(this, [this, status, retained] { handleStatus(status, retained); });
}

bool ExportViewController::advanceTo(int status) {
    // The timer reads the live status and may be ahead of the queued
    // observations: an older one that arrives later changes nothing, and a
    // final state is never left.
    if (isFinal(stage_)) {
        if (!isFinal(status)) return false;
    } else if (status < stage_) {
        return false;
    }
    if (!isFinal(stage_)) stage_ = status;
    return true;
}

void ExportViewController::exportCouldNotStart(const QString& reason) {
    QUORVEL_ASSERT_MAIN_THREAD();
    stage_ = AVAssetExportSessionStatusFailed;
    outcome_ = Outcome::Failed;
    failureDescription_ = reason;
    setLabel(QStringLiteral("failed"));
}

void ExportViewController::handleStatus(int status, const std::shared_ptr<AVAssetExportSession>& session) {
    if (shutDown_) return;
    if (!advanceTo(status)) return;
    switch (status) {
    case AVAssetExportSessionStatusWaiting:
        setLabel(QStringLiteral("waiting"));
        break;
    case AVAssetExportSessionStatusExporting:
        exporter_ = session;
        setLabel(QStringLiteral("exporting"));
        break;
    case AVAssetExportSessionStatusCompleted:
        exporter_ = nullptr;
        break;
    case AVAssetExportSessionStatusFailed:
        exporter_ = nullptr;
        outcome_ = Outcome::Failed;
        failureDescription_ = session->error().localizedDescription;
        setLabel(QStringLiteral("failed"));
        break;
    case AVAssetExportSessionStatusCancelled:
        exporter_ = nullptr;
        outcome_ = Outcome::Cancelled;
        setLabel(QStringLiteral("canceled"));
        break;
    default:
        break;
    }
}

void ExportViewController::finalizeExportCompleted(NSTimer* timer) {
    if (timer) timer->invalidate();
    stage_ = AVAssetExportSessionStatusCompleted;
    QByteArray png;
    if (ringtune_ && !ringtune_->artwork().isNull()) {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ringtune_->artwork().save(&buffer, "PNG");
    }
    const bool stored = storeRingtone(png);
    Appirater::userDidSignificantEvent(canPromptForRating_);
    outcome_ = stored ? Outcome::Done : Outcome::Error;
    labelKey_ = stored ? QStringLiteral("done") : QStringLiteral("error");
    cancelButtonImage_ = QStringLiteral("exit.png");
    helpVisible_ = true;
    if (ringtune_) AudioExporterFor3G::editMediaTypeTag(ringtune_->storedFilePath().toLocalFile());
    cancelDelegate_ = nullptr;
    exporter_ = nullptr;
    offerWaysOut();
    emit changed();
}

RingtoneWaysOut& ExportViewController::waysOut() {
    if (!waysOut_) {
        waysOut_ = std::make_unique<RingtoneWaysOut>();
        connect(waysOut_.get(), &RingtoneWaysOut::changed, this, &ExportViewController::changed);
        offerWaysOut();
    }
    return *waysOut_;
}

void ExportViewController::offerWaysOut() {
    if (!waysOut_ || outcome_ != Outcome::Done || !ringtune_ || !ringtune_->storedFilePath().isLocalFile() ||
        waysOut_->hasFile())
        return;
    RingtoneCopyTags tags;
    tags.title = ringtune_->title();
    tags.artist = ringtune_->artist();
    if (!ringtune_->artwork().isNull()) {
        QBuffer buffer(&tags.artworkPng);
        buffer.open(QIODevice::WriteOnly);
        ringtune_->artwork().save(&buffer, "PNG");
    }
    waysOut_->setRingtone(ringtune_->storedFilePath().toLocalFile(), tags);
}

bool ExportViewController::storeRingtone(const QByteArray& artworkPng) {
    if (!ringtune_) {
        failureDescription_ = tr("there is no ringtone to store");
        return false;
    }
    // Only this store may name the stored file; an earlier export's path must not pass for it.
    ringtune_->setStoredFilePath(QUrl());
    const QString exported = Ringtune::workFilePath();
    if (!DBHelper::dbHelper().storeRingtone(ringtune_, artworkPng)) {
        failureDescription_ = tr("%1 could not be recorded in the store").arg(exported);
        return false;
    }
    // A row whose file did not reach its stored name is not a stored ringtone.
    const QString stored = ringtune_->storedFilePath().toLocalFile();
    if (stored.isEmpty() || !QFileInfo(stored).isFile()) {
        failureDescription_ = QFileInfo::exists(exported)
                                  ? tr("%1 could not be given its stored name").arg(exported)
                                  : tr("%1 was gone when the ringtone was to be stored").arg(exported);
        return false;
    }
    return true;
}

void ExportViewController::cancelFinish() {
    QUORVEL_ASSERT_MAIN_THREAD();
    auto later = [this] { finishNotifier(); };
    if (exporter_) {
        exporter_->cancelExport();
        QTimer::singleShot(kCancelFinishDelayMs, this, later);
    } else if (cancelDelegate_) {
        cancelDelegate_->exportWasCancelled(this);
        QTimer::singleShot(kCancelFinishDelayMs, this, later);
    } else {
        finishNotifier();
    }
}

void ExportViewController::finishNotifier() {
    if (finishDelegate_) finishDelegate_->exportViewControllerDidFinish(this);
}

void ExportViewController::cancelForShutdown() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (shutDown_.exchange(true)) return;
    if (outcome_ != Outcome::Running) return;
    if (cancelDelegate_) {
        // The AAC writer: its worker removes its own partial file when it
        // stops; a job that got to the end has left a complete file.
        AudioExporterFor3G& writer = AudioExporterFor3G::sharedInstance();
        cancelDelegate_->exportWasCancelled(this);
        writer.waitUntilFinished();
        if (writer.progressValueArray()->elementZero() >= 1.0f) {
            progress_ = 1.0f;
            finalizeExportCompleted(nullptr);
        }
        return;
    }
    // The platform export: its session may not have reported yet.
    std::shared_ptr<AVAssetExportSession> session;
    const auto appearBy = std::chrono::steady_clock::now() + kSessionAppearWait;
    for (;;) {
        {
            std::lock_guard lock(sessionMutex_);
            session = session_.lock();
        }
        if (session || std::chrono::steady_clock::now() > appearBy) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!session) {
        // Nothing ever ran (or it ended unseen): leave no stray file.
        QFile::remove(Ringtune::workFilePath());
        return;
    }
    if (!isFinal(session->status())) session->cancelExport();
    waitForSession(session);
    exporter_ = nullptr;
    if (session->status() == AVAssetExportSessionStatusCompleted) {
        progress_ = 1.0f;
        finalizeExportCompleted(nullptr);
    }
}

void ExportViewController::waitForSession(const std::shared_ptr<AVAssetExportSession>& session) {
    const auto deadline = std::chrono::steady_clock::now() + kShutdownWait;
    while ((!isFinal(session->status()) || observing_.load() > 0) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

} // namespace quorvel
