#pragma once
// The asset export service: cuts a time range out of an asset, applies an
// audio mix and writes the result in the requested container.
//
//   AVAssetExportPresetPassthrough  the audio packets within the range, copied
//                                   without re-encoding; the cut falls on the
//                                   codec's frame boundaries that keep the whole
//                                   range (PCM is cut to the sample)
//   AVAssetExportPresetAppleM4A     decoded, cut to the sample, the mix applied,
//                                   AAC-LC at 44,100 Hz, 128 kbit/s per channel
//                                   (at most two), in an MPEG-4 file
//
// Status numbering: 0 unknown, 1 waiting, 2 exporting, 3 completed,
// 4 failed, 5 cancelled. On 3 the output file is complete; on 4 and 5 no file
// is left at the output URL.
//
// Thread safety: status(), progress(), error() and cancelExport() may be
// called from any thread at any time. Configure the session (output URL,
// file type, range, mix) before starting it, on one thread. Status observers
// and the completion run on the session's worker thread; the completion runs
// exactly once, after the final status is set. The worker keeps the session
// alive until it has finished; the thread belongs to WorkerThreads, and an
// export still running when the program ends stops as if cancelled.
#include "platform/core/CMTime.h"
#include "platform/core/NSError.h"
#include "platform/media/AVAudioMix.h"
#include "platform/media/AVURLAsset.h"

#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

namespace quorvel {

extern const QString AVAssetExportPresetPassthrough;
extern const QString AVAssetExportPresetAppleM4A;

extern const QString AVFileTypeAppleM4A;
extern const QString AVFileTypeAppleM4V;
extern const QString AVFileTypeWAVE;
extern const QString AVFileTypeAIFF;
extern const QString AVFileTypeQuickTimeMovie;

extern const QString AVFoundationErrorDomain;

enum AVAssetExportSessionStatus {
    AVAssetExportSessionStatusUnknown = 0,
    AVAssetExportSessionStatusWaiting = 1,
    AVAssetExportSessionStatusExporting = 2,
    AVAssetExportSessionStatusCompleted = 3,
    AVAssetExportSessionStatusFailed = 4,
    AVAssetExportSessionStatusCancelled = 5,
};

class AVAssetExportSession : public std::enable_shared_from_this<AVAssetExportSession> {
public:
    // nullptr when there is no asset or the preset is not one of the two above.
    static std::shared_ptr<AVAssetExportSession> exportSessionWithAsset(std::shared_ptr<AVURLAsset> asset,
                                                                       const QString& presetName);
    ~AVAssetExportSession();
    AVAssetExportSession(const AVAssetExportSession&) = delete;
    AVAssetExportSession& operator=(const AVAssetExportSession&) = delete;

    const std::shared_ptr<AVURLAsset>& asset() const;
    const QString& presetName() const;

    void setOutputURL(const QUrl& url);
    QUrl outputURL() const;
    void setOutputFileType(const QString& fileType);
    QString outputFileType() const;
    // Set only with a valid range; without one the whole asset is exported.
    void setTimeRange(const CMTimeRange& range);
    CMTimeRange timeRange() const;
    void setAudioMix(std::shared_ptr<AVAudioMix> mix);
    std::shared_ptr<AVAudioMix> audioMix() const;

    AVAssetExportSessionStatus status() const;
    float progress() const; // 0.0 to 1.0
    NSError error() const;  // the failure when status() is 4

    // Starts the export on the worker thread and returns at once. A second
    // call is ignored.
    void exportAsynchronouslyWithCompletionHandler(std::function<void()> handler);
    // Asks the running export to stop; the status then becomes 5 and the
    // output file is removed.
    void cancelExport();

    // Observers of "status", called on the worker thread after each change.
    using StatusObserver = std::function<void(AVAssetExportSession* session)>;
    using ObserverToken = uint64_t;
    ObserverToken addStatusObserver(StatusObserver observer);
    void removeStatusObserver(ObserverToken token);

private:
    AVAssetExportSession(std::shared_ptr<AVURLAsset> asset, QString presetName);
    void run();
    void setStatus(AVAssetExportSessionStatus status);

    struct Private;
    std::unique_ptr<Private> d;
};

QString describe(const AVAssetExportSession& session);

} // namespace quorvel
