#include "platform/media/AssetExportJob.h"

#include "platform/core/WorkerThreads.h"
#include "platform/ffmpeg/FFmpegHandles.h"
#include "platform/media/AVAssetExportSession.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel {

bool AssetExportJob::isCancelled() const {
    return (cancel && cancel->load(std::memory_order_relaxed)) || WorkerThreads::stopRequested();
}

void AssetExportJob::reportProgress(double fraction) const {
    if (!progress || !std::isfinite(fraction)) return;
    progress->store(float(std::clamp(fraction, 0.0, 1.0)), std::memory_order_relaxed);
}

double AssetExportJob::startSeconds() const {
    return range.isValid() ? std::max(0.0, CMTimeGetSeconds(range.start)) : 0.0;
}

double AssetExportJob::endSeconds() const {
    return range.isValid() ? startSeconds() + CMTimeGetSeconds(range.duration)
                           : std::numeric_limits<double>::infinity();
}

NSError AssetExportJob::sourceError(const QString& path, int averror) {
    return NSError{AVFoundationErrorDomain, averror,
                   QStringLiteral("Cannot read the source %1: %2").arg(path, ff::errorString(averror)),
                   {}};
}

NSError AssetExportJob::outputError(const QString& path, int averror) {
    return NSError{AVFoundationErrorDomain, averror,
                   QStringLiteral("Cannot write %1: %2").arg(path, ff::errorString(averror)),
                   {}};
}

NSError AssetExportJob::writerError(const QString& path, const QString& reason) {
    return NSError{AVFoundationErrorDomain, AVERROR(EIO), QStringLiteral("Cannot write %1: %2").arg(path, reason), {}};
}

NSError AssetExportJob::formatError(const QString& text) {
    return NSError{AVFoundationErrorDomain, AVERROR_INVALIDDATA, text, {}};
}

} // namespace quorvel
