#include "pipeline/AudioExportHelper.h"

#include "editor/Ringtune.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSTimer.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/Paths.h"

#include <QFile>
#include <any>
#include <optional>

namespace quorvel {

const QString AssetURLExportedNotification = QStringLiteral("assetURLExported");

AudioExportHelper& AudioExportHelper::sharedInstance() {
    static AudioExportHelper instance; // created once, under the compiler's lock
    return instance;
}

QHash<QString, QUrl> AudioExportHelper::urlDictionary() const {
    std::lock_guard lock(mutex_);
    return urlDictionary_;
}

NSError AudioExportHelper::effectsInputError() const {
    std::lock_guard lock(mutex_);
    return effectsInputError_;
}

void AudioExportHelper::exportRingtune(const std::shared_ptr<Ringtune>& ringtune,
                                       const std::weak_ptr<ExportObserver>& observer) {
    std::lock_guard lock(mutex_);
    auto asset = ringtune ? AVURLAsset::URLAssetWithURL(ringtune->exportURL()) : nullptr;
    auto exporter = AVAssetExportSession::exportSessionWithAsset(asset, AVAssetExportPresetAppleM4A);
    if (!exporter) {
        // The observer waits for a status that will never come: tell it.
        const QString reason = ringtune ? stringWithFormat("Couldn't create AVAssetExportSession for %@", ringtune->exportURL())
                                        : QStringLiteral("There is no ringtone to export.");
        NSLog("%@", reason);
        ExportObserver::reportCouldNotStart(observer, reason);
        return;
    }
    exporter->setOutputFileType(AVFileTypeAppleM4A);
    // Under the work name: the store moves it to its final name once stored.
    const QUrl outputURL = QUrl::fromLocalFile(Ringtune::workFilePath());
    exporter->setOutputURL(outputURL);
    if (ringtune->audioMixer()) exporter->setAudioMix(ringtune->audioMixer());

    const CMTimeRange range = ringtune->timeRange().isValid() ? ringtune->timeRange() : ringtune->realTimeRange();
    if (range.isValid()) exporter->setTimeRange(range);
    NSLog("%f", CMTimeGetSeconds(range.duration));

    QFile::remove(outputURL.toLocalFile());

    AVAssetExportSession::ObserverToken token = 0;
    std::weak_ptr<NSTimer> progress;
    if (!observer.expired()) {
        token = exporter->addStatusObserver([observer](AVAssetExportSession* session) {
            auto o = observer.lock();
            if (!o) return;
            o->observeValueForKeyPath(QStringLiteral("status"), session);
            // The observer lives on the main thread: it is let go there, never here.
            performOnMainThread([o = std::move(o)] {});
        });
        progress = NSTimer::scheduledTimerWithTimeInterval(
            0.2,
            [observer](NSTimer* timer) {
                if (auto o = observer.lock())
                    o->progressTimer(timer);
                else
                    timer->invalidate(); // nobody follows the export any more
            },
            std::any(exporter), true);
    }
    // The completion runs on the session's worker, which keeps it alive. It
    // also gives the observer one tick at once, so that the end of the export
    // is seen without waiting for the next 0.2 s.
    AVAssetExportSession* session = exporter.get();
    exporter->exportAsynchronouslyWithCompletionHandler([session, token, progress] {
        if (token) session->removeStatusObserver(token);
        performOnMainThread([progress] {
            if (auto timer = progress.lock(); timer && timer->isValid()) timer->fire();
        });
    });
}

void AudioExportHelper::exportRingtuneForEffects(const std::shared_ptr<Ringtune>& ringtune, const QString& outFileName) {
    std::optional<NSException> failure;
    {
        std::lock_guard lock(mutex_);
        std::shared_ptr<NSTimer> timer;
        effectsInputError_ = NSError{};
        try {
            const QString extension = TSLibraryImport::extensionForAssetURL(ringtune ? ringtune->assetURL() : QUrl());
            const QUrl url = QUrl::fromLocalFile(Paths::documentPath(outFileName + QLatin1Char('.') + extension));
            urlDictionary_.insert(QStringLiteral("effectsUrl"), url);
            ringtune->setEffectURL(url);
            QFile::remove(url.toLocalFile());

            auto importer = TSLibraryImport::create();
            timer = NSTimer::scheduledTimerWithTimeInterval(
                0.2, [this](NSTimer* t) { progressTimer(t); }, std::any(importer), true);
            importer->importRingtune(ringtune, url, [this](TSLibraryImport* finished) {
                if (finished->status() != AVAssetExportSessionStatusCompleted) {
                    NSLog("Error importing: %@", finished->error());
                    std::lock_guard errorLock(mutex_);
                    effectsInputError_ = finished->error();
                }
                NotificationCenter::defaultCenter().postNotificationName(AssetURLExportedNotification, this);
            });
            // The importer keeps itself alive until its completion has run.
        } catch (const NSException& e) {
            if (timer) timer->invalidate();
            failure = e;
        }
    }
    if (failure) {
        effectsInputFailed(*failure);
        throw *failure;
    }
}

void AudioExportHelper::effectsInputFailed(const NSException& e) {
    // The editor waits for the notification: announce the failed input as a
    // failed import is announced, then let the caller have the exception.
    NSLog("Error importing: %@", e);
    {
        std::lock_guard lock(mutex_);
        effectsInputError_ = NSError{TSLibraryImportErrorDomain, -1, e.reason(), {}};
    }
    NotificationCenter::defaultCenter().postNotificationName(AssetURLExportedNotification, this);
}

void AudioExportHelper::progressTimer(NSTimer* timer) {
    AVAssetExportSessionStatus status = AVAssetExportSessionStatusUnknown;
    float progress = 0.0f;
    if (const auto* importer = std::any_cast<std::shared_ptr<TSLibraryImport>>(&timer->userInfo())) {
        status = (*importer)->status();
        progress = (*importer)->progress();
    } else if (const auto* session = std::any_cast<std::shared_ptr<AVAssetExportSession>>(&timer->userInfo())) {
        status = (*session)->status();
        progress = (*session)->progress();
    }
    switch (status) {
    case AVAssetExportSessionStatusWaiting:
        NSLog("Waiting! progress: %f", progress);
        break;
    case AVAssetExportSessionStatusExporting:
        break;
    case AVAssetExportSessionStatusFailed:
        NSLog("Failed! progress: %f", progress);
        timer->invalidate();
        break;
    default:
        timer->invalidate();
        break;
    }
}

void AudioExportHelper::observeValueForKeyPath(const QString& keyPath, AVAssetExportSession* object) {
    if (keyPath == QLatin1String("status") && object && object->status() == AVAssetExportSessionStatusWaiting)
        NSLog("AVAssetExportSessionStatusWaiting");
}

void AudioExportHelper::exportWasCancelled(const void*) {}

} // namespace quorvel
