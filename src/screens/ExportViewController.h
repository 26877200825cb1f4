#pragma once
// The export progress screen's behaviour: it follows either producer (the
// platform export session, or the AAC writer's progress value) through one
// timer callback, and when the export has finished it stores the ringtone,
// reports a significant event and tags the stored file. What it shows is kept
// as plain state (label key, progress, help visibility) for a view to draw;
// the command-line program uses it without a view.
//
// Thread safety: main thread only, except observeValueForKeyPath(), which
// the export service calls on its own thread and which hands its work to the
// main thread. Statuses are applied there in the order they were reported;
// one older than what is shown (the timer reads the live status and can be
// ahead) is dropped, and a final state ("done", "failed", "cancelled") is
// never left for a running one.
#include "pipeline/ExportObserver.h"
#include "screens/RingtoneWaysOut.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

namespace quorvel {

class Ringtune;
class ExportViewController;

class ExportViewControllerFinishDelegate {
public:
    virtual ~ExportViewControllerFinishDelegate() = default;
    virtual void exportViewControllerDidFinish(ExportViewController* sender) = 0;
};

class ExportViewController : public QObject,
                             public ExportObserver,
                             public std::enable_shared_from_this<ExportViewController> {
    Q_OBJECT
public:
    enum class Outcome { Running, Done, Error, Failed, Cancelled };

    ExportViewController();
    // Waits for a producer that still calls in (see cancelForShutdown()).
    ~ExportViewController() override;

    void setFinishDelegate(ExportViewControllerFinishDelegate* d) { finishDelegate_ = d; }
    void setCancelDelegate(ExportViewControllerCancelDelegate* d) { cancelDelegate_ = d; }
    ExportViewControllerCancelDelegate* cancelDelegate() const { return cancelDelegate_; }
    void setRingtune(std::shared_ptr<Ringtune> r) { ringtune_ = std::move(r); }
    const std::shared_ptr<Ringtune>& ringtune() const { return ringtune_; }
    const std::shared_ptr<AVAssetExportSession>& exporter() const { return exporter_; }
    // Whether the rating prompt may be shown after a stored ringtone (a
    // program without a window passes false; the event is counted either way).
    void setCanPromptForRating(bool can) { canPromptForRating_ = can; }

    // ExportObserver
    void progressTimer(NSTimer* timer) override;
    void observeValueForKeyPath(const QString& keyPath, AVAssetExportSession* session) override;
    void exportCouldNotStart(const QString& reason) override;

    // The cancel button: cancels a running export and finishes after 1.5 s,
    // or finishes at once when nothing runs.
    void cancelFinish();

    // Save a Copy, Show in Folder, Send to Phone and dragging out, made on
    // first use (a program without a screen never asks); they act on the
    // stored file once the export is done.
    RingtoneWaysOut& waysOut();
    bool areWaysOutShown() const { return outcome_ == Outcome::Done && waysOut_ && waysOut_->hasFile(); }

    // What the screen shows.
    const QString& labelKey() const { return labelKey_; }
    float progress() const { return progress_; }
    bool isHelpVisible() const { return helpVisible_; }
    const QString& cancelButtonImage() const { return cancelButtonImage_; }
    Outcome outcome() const { return outcome_; }
    // Why the export failed or its file could not be stored, when it did.
    const QString& failureDescription() const { return failureDescription_; }
    // The program is closing during the export: stops the producer and waits
    // (a few milliseconds) until it has let go of the file and of this screen,
    // so that no partial ringtone file stays. A file that was already complete
    // is stored as a finished export would be. Nothing is told to the
    // delegates; later timer ticks only stop their timer. Harmless when
    // nothing runs, and when called twice.
    void cancelForShutdown();
    bool isShutDown() const { return shutDown_; }

    // Delay before finishing after a cancel, in milliseconds (1500).
    static constexpr int kCancelFinishDelayMs = 1500;

signals:
    // After every change of what the screen shows.
    void changed();

private:
    void finalizeExportCompleted(NSTimer* timer);
    // Records the exported file in the store; true only when the stored file is in place.
    bool storeRingtone(const QByteArray& artworkPng);
    void finishNotifier();
    void offerWaysOut();
    void handleStatus(int status, const std::shared_ptr<AVAssetExportSession>& session);
    // Whether a session status may still be applied; records it when so.
    bool advanceTo(int status);
    void setLabel(const QString& key);
    void rememberSession(const std::shared_ptr<AVAssetExportSession>& session);
    void waitForSession(const std::shared_ptr<AVAssetExportSession>& session);

    ExportViewControllerFinishDelegate* finishDelegate_ = nullptr;
    ExportViewControllerCancelDelegate* cancelDelegate_ = nullptr;
    std::shared_ptr<Ringtune> ringtune_;
    std::shared_ptr<AVAssetExportSession> exporter_;
    std::unique_ptr<RingtoneWaysOut> waysOut_;
    QString labelKey_;
    float progress_ = 0.0f;
    bool helpVisible_ = false;
    QString cancelButtonImage_;
    Outcome outcome_ = Outcome::Running;
    // The platform session as soon as it is seen (the status observer or the
    // timer), so that a shutdown can cancel it before "exporting" is reported.
    std::mutex sessionMutex_;
    std::weak_ptr<AVAssetExportSession> session_;
    // Status callbacks running on the service's thread right now.
    std::atomic<int> observing_{0};
    std::atomic<bool> shutDown_{false};
    // The producer's progress timer once it has ticked.
    std::weak_ptr<NSTimer> timer_;
    bool canPromptForRating_ = true;
    QString failureDescription_;
    // The furthest session status applied (0 before any); once final, only
    // final statuses apply.
    int stage_ = 0;
};

} // namespace quorvel
