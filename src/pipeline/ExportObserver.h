#pragma once
// What an export's producer (the platform export path or the AAC writer)
// expects from the screen or program that follows the export.
#include <QString>
#include <memory>

namespace quorvel {

class AVAssetExportSession;
class NSTimer;

// The producers do not retain their observer: they hold it weakly, so an
// observer may go (a screen closed) while its export runs. Its timer then
// stops, and status changes go to no one.
class ExportObserver {
public:
    virtual ~ExportObserver() = default;
    // Called every 0.2 s on the thread that started the export. The timer's
    // user info is either std::shared_ptr<ProgressValueArray> (AAC writer) or
    // std::shared_ptr<AVAssetExportSession> (platform export). The observer
    // invalidates the timer when it is done with it.
    virtual void progressTimer(NSTimer* timer) = 0;
    // Called with "status" each time the export session's status changes, on
    // a thread of the export service.
    virtual void observeValueForKeyPath(const QString& keyPath, AVAssetExportSession* session) = 0;
    // Called once, on the main thread, when the export could not start at all
    // (no session could be made for its source); nothing was written and no
    // timer runs. `reason` is a sentence for the user.
    virtual void exportCouldNotStart(const QString& reason) = 0;

    // Tells `observer`, if it is still there, exportCouldNotStart on the main thread.
    static void reportCouldNotStart(const std::weak_ptr<ExportObserver>& observer, const QString& reason);
};

// The export screen's cancel delegate (the AAC writer implements it).
class ExportViewControllerCancelDelegate {
public:
    virtual ~ExportViewControllerCancelDelegate() = default;
    virtual void exportWasCancelled(const void* sender) = 0;
};

} // namespace quorvel
