#pragma once
// What one run of the export service works on: the source and output files,
// the range and mix, and the two values shared with the session (progress
// out, cancellation in). The writers for each preset take one of these.
#include "platform/core/CMTime.h"
#include "platform/core/NSError.h"
#include "platform/media/AVAudioMix.h"

#include <QString>
#include <atomic>
#include <memory>

namespace quorvel {

struct AssetExportJob {
    QString sourcePath;
    QString outputPath;
    QString fileType;
    CMTimeRange range = kCMTimeRangeInvalid; // invalid: the whole source
    std::shared_ptr<AVAudioMix> mix;
    std::atomic<float>* progress = nullptr;
    const std::atomic<bool>* cancel = nullptr;

    // Cancelled by the session, or the program is ending.
    bool isCancelled() const;
    void reportProgress(double fraction) const;
    // The range in seconds, [start, end); end is infinite without a range.
    double startSeconds() const;
    double endSeconds() const;

    // Errors in the service's words, with FFmpeg's reason appended.
    static NSError sourceError(const QString& path, int averror);
    static NSError outputError(const QString& path, int averror);
    static NSError formatError(const QString& text);
    static NSError writerError(const QString& path, const QString& reason);
};

enum class AssetExportResult { Completed, Failed, Cancelled };

} // namespace quorvel
