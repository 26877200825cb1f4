#pragma once
// Copies the chosen segment of a music-library song into a plain audio file
// the rest of the pipeline can open. MPEG-4, WAV and AIFF songs are passed
// through the export service into a file of the same kind; MP3 songs go
// through a temporary QuickTime movie whose first "mdat" payload (the MP3
// frames) is then copied out.
//
// One importer serves one import. Argument errors are raised as NSException
// before anything starts; the outcome of a started import reaches the
// completion block, which runs exactly once on the export service's thread.
//
// Thread safety: status(), error() and progress() may be read from any thread
// at any time, also while the completion thread releases the exporter: they
// see either the live exporter or none. The pending completion keeps the
// importer alive, whatever its creator does with its own reference.
#include "platform/core/NSError.h"
#include "platform/core/NSException.h"
#include "platform/media/AVAssetExportSession.h"

#include <QUrl>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace quorvel {

class Ringtune;

extern const QString TSUnknownError;
extern const QString TSFileExistsError;
extern const QString TSLibraryImportErrorDomain;

class TSLibraryImport : public std::enable_shared_from_this<TSLibraryImport> {
public:
    using CompletionBlock = std::function<void(TSLibraryImport* importer)>;

    static std::shared_ptr<TSLibraryImport> create();

    static bool validIpodLibraryURL(const QUrl& url);
    // Raises NSInvalidArgumentException for a null or invalid library URL.
    static QString extensionForAssetURL(const QUrl& url);

    // Starts the import of the ringtune's asset (its effective time range
    // when valid, else the whole song) into `destURL`; raises on bad input.
    void importRingtune(const std::shared_ptr<Ringtune>& ringtune, const QUrl& destURL, CompletionBlock completionBlock);
    // The MP3 branch: export a movie beside `destURL`, then extract it.
    void doMp3ImportToFile(const QUrl& destURL, CompletionBlock completionBlock);
    // The error an extraction failure is recorded as: this domain, the code
    // by the exception's name (TSUnknownError -65536, TSFileExistsError -48,
    // else 0) and the reason as its description.
    static NSError errorForExtractionException(const NSException& e);
    // Copies the payload of the movie's first "mdat" atom to `destURL`;
    // raises "TSUnknownError" when that cannot be done, also for an "mdat"
    // that claims more bytes than the file holds (nothing is left at `destURL`).
    void extractQuicktimeMovie(const QUrl& movieURL, const QUrl& destURL);

    AVAssetExportSessionStatus status() const;
    NSError error() const;
    float progress() const;

    // Told of each step of the "mdat" walk: ("skip", bytes) for every atom
    // passed over and ("chunk", bytes) for every chunk read from the payload.
    using WalkObserver = std::function<void(const char* step, qint64 bytes)>;
    void setWalkObserver(WalkObserver observer) { walkObserver_ = std::move(observer); }

    TSLibraryImport(const TSLibraryImport&) = delete;
    TSLibraryImport& operator=(const TSLibraryImport&) = delete;

private:
    TSLibraryImport() = default;
    std::shared_ptr<AVAssetExportSession> exporter() const;
    void releaseExporter();
    // Copies `bytes` from the movie's position to a new file at `destPath`,
    // in chunks; raises, leaving no file, when the copy comes out short.
    void copyPayload(std::FILE* movie, qint64 bytes, const QString& destPath);
    static QString damagedMdat();
    void walk(const char* step, qint64 bytes) const {
        if (walkObserver_) walkObserver_(step, bytes);
    }

    mutable std::mutex mutex_; // guards export_ and movieFileErr_
    std::shared_ptr<AVAssetExportSession> export_;
    std::optional<NSError> movieFileErr_;
    WalkObserver walkObserver_;
};

QString describe(const TSLibraryImport& importer);

} // namespace quorvel
