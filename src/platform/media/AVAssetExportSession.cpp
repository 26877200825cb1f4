#include "platform/media/AVAssetExportSession.h"

#include "platform/core/WorkerThreads.h"
#include "platform/ffmpeg/FFmpegHandles.h"
#include "platform/media/AppleM4AExporter.h"
#include "platform/media/AssetExportJob.h"
#include "platform/media/PassthroughExporter.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <map>
#include <mutex>

namespace quorvel {

const QString AVAssetExportPresetPassthrough = QStringLiteral("AVAssetExportPresetPassthrough");
const QString AVAssetExportPresetAppleM4A = QStringLiteral("AVAssetExportPresetAppleM4A");
const QString AVFileTypeAppleM4A = QStringLiteral("com.apple.m4a-audio");
const QString AVFileTypeAppleM4V = QStringLiteral("com.apple.m4v-video");
const QString AVFileTypeWAVE = QStringLiteral("com.microsoft.waveform-audio");
const QString AVFileTypeAIFF = QStringLiteral("public.aiff-audio");
const QString AVFileTypeQuickTimeMovie = QStringLiteral("com.apple.quicktime-movie");
const QString AVFoundationErrorDomain = QStringLiteral("AVFoundationErrorDomain");

struct AVAssetExportSession::Private {
    std::shared_ptr<AVURLAsset> asset;
    QString preset;

    mutable std::mutex mutex; // guards the settings, error and observers
    QUrl outputURL;
    QString fileType;
    CMTimeRange range = kCMTimeRangeInvalid;
    std::shared_ptr<AVAudioMix> mix;
    NSError error;
    std::map<ObserverToken, std::shared_ptr<StatusObserver>> observers;
    ObserverToken nextToken = 1;
    bool started = false;
    std::function<void()> completion;

    std::atomic<int> status{AVAssetExportSessionStatusUnknown};
    std::atomic<float> progress{0.0f};
    std::atomic<bool> cancel{false};
};

std::shared_ptr<AVAssetExportSession> AVAssetExportSession::exportSessionWithAsset(std::shared_ptr<AVURLAsset> asset,
                                                                                 const QString& presetName) {
    if (!asset) return nullptr;
    if (presetName != AVAssetExportPresetPassthrough && presetName != AVAssetExportPresetAppleM4A) return nullptr;
    return std::shared_ptr<AVAssetExportSession>(new AVAssetExportSession(std::move(asset), presetName));
}

AVAssetExportSession::AVAssetExportSession(std::shared_ptr<AVURLAsset> asset, QString presetName)
    : d(std::make_unique<Private>()) {
    d->asset = std::move(asset);
    d->preset = std::move(presetName);
}

// The worker holds the session until its last step, so the destructor runs
// either on the worker itself or once the worker is past everything that
// uses the session; the thread itself belongs to WorkerThreads.
AVAssetExportSession::~AVAssetExportSession() = default;

const std::shared_ptr<AVURLAsset>& AVAssetExportSession::asset() const { return d->asset; }
const QString& AVAssetExportSession::presetName() const { return d->preset; }

void AVAssetExportSession::setOutputURL(const QUrl& url) {
    std::lock_guard lock(d->mutex);
    d->outputURL = url;
}
QUrl AVAssetExportSession::outputURL() const {
    std::lock_guard lock(d->mutex);
    return d->outputURL;
}
void AVAssetExportSession::setOutputFileType(const QString& fileType) {
    std::lock_guard lock(d->mutex);
    d->fileType = fileType;
}
QString AVAssetExportSession::outputFileType() const {
    std::lock_guard lock(d->mutex);
    return d->fileType;
}
void AVAssetExportSession::setTimeRange(const CMTimeRange& range) {
    std::lock_guard lock(d->mutex);
    d->range = range;
}
CMTimeRange AVAssetExportSession::timeRange() const {
    std::lock_guard lock(d->mutex);
    return d->range;
}
void AVAssetExportSession::setAudioMix(std::shared_ptr<AVAudioMix> mix) {
    std::lock_guard lock(d->mutex);
    d->mix = std::move(mix);
}
std::shared_ptr<AVAudioMix> AVAssetExportSession::audioMix() const {
    std::lock_guard lock(d->mutex);
    return d->mix;
}

AVAssetExportSessionStatus AVAssetExportSession::status() const {
    return AVAssetExportSessionStatus(d->status.load());
}
float AVAssetExportSession::progress() const { return d->progress.load(); }
NSError AVAssetExportSession::error() const {
    std::lock_guard lock(d->mutex);
    return d->error;
}

AVAssetExportSession::ObserverToken AVAssetExportSession::addStatusObserver(StatusObserver observer) {
    std::lock_guard lock(d->mutex);
    const ObserverToken token = d->nextToken++;
    d->observers.emplace(token, std::make_shared<StatusObserver>(std::move(observer)));
    return token;
}

void AVAssetExportSession::removeStatusObserver(ObserverToken token) {
    std::lock_guard lock(d->mutex);
    d->observers.erase(token);
}

void AVAssetExportSession::setStatus(AVAssetExportSessionStatus status) {
    d->status.store(status);
    std::vector<std::shared_ptr<StatusObserver>> observers;
    {
        std::lock_guard lock(d->mutex);
        for (const auto& [token, observer] : d->observers) observers.push_back(observer);
    }
    // Called without the lock, so an observer may read the session or remove itself.
    for (const auto& observer : observers)
        if (*observer) (*observer)(this);
}

void AVAssetExportSession::cancelExport() {
    d->cancel.store(true);
    // Not started yet: nothing runs that could see the mark, so the status
    // changes here; the completion still comes from the worker once started.
    int expected = AVAssetExportSessionStatusUnknown;
    d->status.compare_exchange_strong(expected, AVAssetExportSessionStatusCancelled);
}

void AVAssetExportSession::exportAsynchronouslyWithCompletionHandler(std::function<void()> handler) {
    std::lock_guard lock(d->mutex);
    if (d->started) return;
    d->started = true;
    d->completion = std::move(handler);
    int expected = AVAssetExportSessionStatusUnknown;
    d->status.compare_exchange_strong(expected, AVAssetExportSessionStatusWaiting);
    WorkerThreads::start([self = shared_from_this()]() mutable {
        self->run();
        self.reset(); // may destroy the session here, on its own worker
    });
}

void AVAssetExportSession::run() {
    AssetExportJob job;
    {
        std::lock_guard lock(d->mutex);
        job.sourcePath = d->asset->filePath();
        job.outputPath = d->outputURL.isLocalFile() ? d->outputURL.toLocalFile() : QString();
        job.fileType = d->fileType;
        job.range = d->range;
        job.mix = d->mix;
    }
    job.progress = &d->progress;
    job.cancel = &d->cancel;

    NSError error;
    AssetExportResult result = AssetExportResult::Cancelled;
    if (!job.isCancelled()) {
        setStatus(AVAssetExportSessionStatusWaiting);
        setStatus(AVAssetExportSessionStatusExporting);
        if (job.outputPath.isEmpty()) {
            error = AssetExportJob::formatError(QStringLiteral("The output URL is not a local file"));
            result = AssetExportResult::Failed;
        } else if (job.sourcePath.isEmpty()) {
            error = AssetExportJob::sourceError(d->asset->URL().toString(), AVERROR(ENOENT));
            result = AssetExportResult::Failed;
        } else if (QFileInfo::exists(job.outputPath)) {
            // Never replace what is there: the callers delete old files first.
            error = AssetExportJob::formatError(QStringLiteral("A file already exists at %1").arg(job.outputPath));
            result = AssetExportResult::Failed;
            job.outputPath.clear();
        } else if (d->preset == AVAssetExportPresetAppleM4A) {
            result = AppleM4AExporter::run(job, &error);
        } else {
            result = PassthroughExporter::run(job, &error);
        }
        if (result == AssetExportResult::Completed && job.isCancelled()) result = AssetExportResult::Cancelled;
        // A failed or cancelled export leaves nothing behind.
        if (result != AssetExportResult::Completed && !job.outputPath.isEmpty()) QFile::remove(job.outputPath);
    }
    {
        std::lock_guard lock(d->mutex);
        if (result == AssetExportResult::Failed) d->error = error;
    }
    switch (result) {
    case AssetExportResult::Completed:
        d->progress.store(1.0f);
        setStatus(AVAssetExportSessionStatusCompleted);
        break;
    case AssetExportResult::Failed:
        setStatus(AVAssetExportSessionStatusFailed);
        break;
    case AssetExportResult::Cancelled:
        setStatus(AVAssetExportSessionStatusCancelled);
        break;
    }
    std::function<void()> completion;
    {
        std::lock_guard lock(d->mutex);
        completion = std::move(d->completion);
    }
    if (completion) completion();
}

QString describe(const AVAssetExportSession& session) {
    return QStringLiteral("<AVAssetExportSession %1 status %2 progress %3>")
        .arg(session.presetName())
        .arg(int(session.status()))
        .arg(double(session.progress()));
}

} // namespace quorvel
