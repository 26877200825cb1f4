#pragma once
// Drives the export service for the editor. Two jobs:
//   exportRingtuneForEffects  cuts the song's segment into a work file in the
//       documents folder through the library importer and posts
//       "assetURLExported" (sender: this helper) from the import's completion
//       thread, whatever the outcome;
//   exportRingtune  writes the ringtone file (AAC in MPEG-4 under the work
//       name Ringtune::workFilePath) with its fade mix and range while an ExportObserver follows
//       the session's "status" and a 0.2 s progress timer.
//
// Thread safety: sharedInstance() and the set-up of each job may be called
// from any thread; each job's timer runs on the event loop of the thread
// that started it. The observer passed to exportRingtune is held weakly; it
// may go before the export ends.
#include "pipeline/ExportObserver.h"
#include "pipeline/TSLibraryImport.h"

#include <QHash>
#include <QString>
#include <QUrl>
#include <memory>
#include <mutex>

namespace quorvel {

class NSTimer;
class Ringtune;

extern const QString AssetURLExportedNotification; // "assetURLExported"

class AudioExportHelper {
public:
    static AudioExportHelper& sharedInstance();

    // The observer is not retained. When no session can be made, it is told
    // exportCouldNotStart instead.
    void exportRingtune(const std::shared_ptr<Ringtune>& ringtune, const std::weak_ptr<ExportObserver>& observer);
    // Raises the importer's NSException to the caller after announcing the
    // failed effects input as a failed import is announced.
    void exportRingtuneForEffects(const std::shared_ptr<Ringtune>& ringtune, const QString& outFileName);

    // The effects-input timer: logs and stops once the import is over.
    void progressTimer(NSTimer* timer);
    void observeValueForKeyPath(const QString& keyPath, AVAssetExportSession* object);
    void exportWasCancelled(const void* sender);

    // "effectsUrl": the latest effects input file.
    QHash<QString, QUrl> urlDictionary() const;
    // Why the latest effects input was not made ("Cannot write <file>: No
    // space left on device"); no description while it runs and once it is
    // made. Set before "assetURLExported" is posted.
    NSError effectsInputError() const;

    AudioExportHelper(const AudioExportHelper&) = delete;
    AudioExportHelper& operator=(const AudioExportHelper&) = delete;

private:
    AudioExportHelper() { urlDictionary_.reserve(3); }
    void effectsInputFailed(const NSException& e);

    mutable std::recursive_mutex mutex_; // held for each job's set-up
    QHash<QString, QUrl> urlDictionary_;
    NSError effectsInputError_;
};

} // namespace quorvel
