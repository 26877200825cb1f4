#include "pipeline/TSLibraryImport.h"

#include "editor/Ringtune.h"
#include "platform/core/Log.h"
#include "platform/musiclibrary/MPMediaLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace quorvel {

const QString TSUnknownError = QStringLiteral("TSUnknownError");
const QString TSFileExistsError = QStringLiteral("TSFileExistsError");
const QString TSLibraryImportErrorDomain = QStringLiteral("TSLibraryImportErrorDomain");

namespace {

constexpr qint64 kChunkSize = 102400;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openFile(const QString& path, const char* mode) { return File(std::fopen(path.toUtf8().constData(), mode)); }

uint32_t be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The destination with its path extension replaced by "mov".
QString movieURLPath(const QString& destPath) {
    const QFileInfo info(destPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return info.dir().filePath(base + QStringLiteral(".mov"));
}

// A failed write in the system's words, with the file (a full disk says "No space left on device").
QString writeFailure(const QString& path, int error) {
    return QStringLiteral("Couldn't write destination file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

NSError TSLibraryImport::errorForExtractionException(const NSException& e) {
    long long code = 0;
    if (e.name() == TSUnknownError)
        code = -65536;
    else if (e.name() == TSFileExistsError)
        code = -48;
    return NSError{TSLibraryImportErrorDomain, code, e.reason(), {}};
}

std::shared_ptr<TSLibraryImport> TSLibraryImport::create() {
    return std::shared_ptr<TSLibraryImport>(new TSLibraryImport());
}

bool TSLibraryImport::validIpodLibraryURL(const QUrl& url) {
    if (url.isEmpty() || url.scheme().isEmpty() || url.scheme() != QLatin1String("ipod-library")) return false;
    static const QStringList allowed = {QStringLiteral("mp3"), QStringLiteral("aif"), QStringLiteral("aiff"),
                                        QStringLiteral("m4a"), QStringLiteral("m4v"), QStringLiteral("wav")};
    return allowed.contains(QFileInfo(url.path()).suffix(), Qt::CaseSensitive);
}

QString TSLibraryImport::extensionForAssetURL(const QUrl& url) {
    if (url.isEmpty()) throw NSException(NSInvalidArgumentException, QStringLiteral("nil assetURL"));
    if (!validIpodLibraryURL(url))
        throw NSException(NSInvalidArgumentException, stringWithFormat("Invalid iPod Library URL: %@", url));
    return QFileInfo(url.path()).suffix();
}

std::shared_ptr<AVAssetExportSession> TSLibraryImport::exporter() const {
    std::lock_guard lock(mutex_);
    return export_;
}

void TSLibraryImport::releaseExporter() {
    std::shared_ptr<AVAssetExportSession> released;
    {
        std::lock_guard lock(mutex_);
        released.swap(export_);
    }
    // `released` goes here, outside the lock: readers already see no exporter.
}

AVAssetExportSessionStatus TSLibraryImport::status() const {
    std::shared_ptr<AVAssetExportSession> session;
    {
        std::lock_guard lock(mutex_);
        if (movieFileErr_) return AVAssetExportSessionStatusFailed;
        session = export_;
    }
    return session ? session->status() : AVAssetExportSessionStatusUnknown;
}

NSError TSLibraryImport::error() const {
    std::shared_ptr<AVAssetExportSession> session;
    {
        std::lock_guard lock(mutex_);
        if (movieFileErr_) return *movieFileErr_;
        session = export_;
    }
    return session ? session->error() : NSError{};
}

float TSLibraryImport::progress() const {
    const auto session = exporter();
    return session ? session->progress() : 0.0f;
}

void TSLibraryImport::importRingtune(const std::shared_ptr<Ringtune>& ringtune, const QUrl& destURL,
                                     CompletionBlock completionBlock) {
    const QUrl assetURL = ringtune ? ringtune->assetURL() : QUrl();
    if (assetURL.isEmpty() || destURL.isEmpty()) throw NSException(NSInvalidArgumentException, QStringLiteral("nil url"));
    if (!validIpodLibraryURL(assetURL))
        throw NSException(NSInvalidArgumentException, stringWithFormat("Invalid iPod Library URL: %@", assetURL));
    if (QFileInfo::exists(destURL.toLocalFile()))
        throw NSException(TSFileExistsError, stringWithFormat("File already exists at url: %@", destURL));

    MPMediaLibrary::defaultMediaLibrary(); // answers for "ipod-library" URLs from now on
    auto asset = AVURLAsset::URLAssetWithURL(assetURL);
    if (!asset) throw NSException(TSUnknownError, stringWithFormat("Couldn't create AVURLAsset with url: %@", assetURL));
    auto session = AVAssetExportSession::exportSessionWithAsset(asset, AVAssetExportPresetPassthrough);
    if (!session) throw NSException(TSUnknownError, QStringLiteral("Couldn't create AVAssetExportSession"));

    const CMTimeRange range = ringtune->timeRange();
    if (range.isValid()) session->setTimeRange(range);

    const QString extension = QFileInfo(assetURL.path()).suffix();
    QString fileType;
    if (extension == QLatin1String("m4a"))
        fileType = AVFileTypeAppleM4A;
    else if (extension == QLatin1String("m4v"))
        fileType = AVFileTypeAppleM4V;
    else if (extension == QLatin1String("wav"))
        fileType = AVFileTypeWAVE;
    else if (extension == QLatin1String("aif") || extension == QLatin1String("aiff"))
        fileType = AVFileTypeAIFF;
    else if (extension != QLatin1String("mp3"))
        throw NSException(NSInvalidArgumentException, QStringLiteral("unrecognized file extension"));
    {
        std::lock_guard lock(mutex_);
        export_ = session;
    }
    if (extension == QLatin1String("mp3")) {
        doMp3ImportToFile(destURL, std::move(completionBlock));
        return;
    }
    session->setOutputURL(destURL);
    session->setOutputFileType(fileType);
    session->exportAsynchronouslyWithCompletionHandler(
        [self = shared_from_this(), completionBlock = std::move(completionBlock)] {
            if (completionBlock) completionBlock(self.get());
            self->releaseExporter();
        });
}

void TSLibraryImport::doMp3ImportToFile(const QUrl& destURL, CompletionBlock completionBlock) {
    const auto session = exporter();
    if (!session) throw NSException(TSUnknownError, QStringLiteral("Couldn't create AVAssetExportSession"));
    const QUrl movieURL = QUrl::fromLocalFile(movieURLPath(destURL.toLocalFile()));
    QFile::remove(movieURL.toLocalFile());
    session->setOutputURL(movieURL);
    session->setOutputFileType(AVFileTypeQuickTimeMovie);
    session->exportAsynchronouslyWithCompletionHandler(
        [self = shared_from_this(), session = session.get(), movieURL, destURL,
         completionBlock = std::move(completionBlock)] {
            const AVAssetExportSessionStatus status = session->status();
            if (status != AVAssetExportSessionStatusFailed && status != AVAssetExportSessionStatusCancelled) {
                try {
                    self->extractQuicktimeMovie(movieURL, destURL);
                } catch (const NSException& e) {
                    std::lock_guard lock(self->mutex_);
                    self->movieFileErr_ = errorForExtractionException(e);
                }
                QFile::remove(movieURL.toLocalFile());
            }
            if (completionBlock) completionBlock(self.get());
            self->releaseExporter();
        });
}

void TSLibraryImport::extractQuicktimeMovie(const QUrl& movieURL, const QUrl& destURL) {
    File movie = openFile(movieURL.toLocalFile(), "rb");
    if (!movie) throw NSException(TSUnknownError, QStringLiteral("Couldn't open source file"));
    struct stat st {};
    const qint64 fileSize = fstat(fileno(movie.get()), &st) == 0 ? qint64(st.st_size) : 0;

    qint64 position = 0; // start of the atom being looked at
    while (true) {
        unsigned char header[16];
        if (std::fread(header, 1, 8, movie.get()) != 8) break;
        const uint32_t size32 = be32(header);
        const bool isMdat = std::memcmp(header + 4, "mdat", 4) == 0;
        qint64 headerSize = 8;
        qint64 atomSize = size32;
        if (size32 == 1) {
            // A 64-bit size follows the type.
            if (std::fread(header + 8, 1, 8, movie.get()) != 8) break;
            const uint64_t large = uint64_t(be32(header + 8)) << 32 | be32(header + 12);
            headerSize = 16;
            if (large < 16 || large > uint64_t(INT64_MAX)) break;
            atomSize = qint64(large);
        } else if (size32 == 0) {
            if (!isMdat) break; // extends to the end of the file: nothing follows it
            atomSize = fileSize - position; // an "mdat" up to the end of the file
        } else if (size32 < 8) {
            break; // a size that cannot even hold its own header
        }

        if (isMdat) {
            // A payload the file cannot hold would be copied short: the movie is damaged.
            if (atomSize > fileSize - position) throw NSException(TSUnknownError, damagedMdat());
            copyPayload(movie.get(), atomSize - headerSize, destURL.toLocalFile());
            return;
        }
        // Skip the rest of the atom; never backwards, never past the end. The
        // size is compared with what is left, as a 64-bit size near 2^63
        // would overflow position + size.
        if (atomSize > fileSize - position) break;
        const qint64 next = position + atomSize;
        walk("skip", atomSize - headerSize);
        if (fseeko(movie.get(), off_t(next), SEEK_SET) != 0) break;
        position = next;
    }
    throw NSException(TSUnknownError, QStringLiteral("Didn't find mdat chunk"));
}

QString TSLibraryImport::damagedMdat() {
    return QStringLiteral("The movie is damaged: its \"mdat\" atom claims more bytes than the file holds");
}

void TSLibraryImport::copyPayload(std::FILE* movie, qint64 bytes, const QString& destPath) {
    File dest = openFile(destPath, "wb");
    if (!dest) throw NSException(TSUnknownError, QStringLiteral("Couldn't open destination file"));
    std::vector<char> buffer(kChunkSize);
    qint64 remaining = bytes;
    QString failure;
    while (remaining != 0) {
        const qint64 chunk = std::min(remaining, kChunkSize);
        const size_t got = std::fread(buffer.data(), 1, size_t(chunk), movie);
        walk("chunk", qint64(got));
        if (qint64(got) != chunk) {
            failure = damagedMdat(); // the file ended early (it shrank since it was measured)
            break;
        }
        if (std::fwrite(buffer.data(), 1, got, dest.get()) != got) {
            failure = writeFailure(destPath, errno);
            break;
        }
        remaining -= chunk;
    }
    if (std::fclose(dest.release()) != 0 && failure.isEmpty()) failure = writeFailure(destPath, errno);
    if (!failure.isEmpty()) {
        // A short copy must not pass for a complete one.
        QFile::remove(destPath);
        throw NSException(TSUnknownError, failure);
    }
}

QString describe(const TSLibraryImport& importer) {
    return QStringLiteral("<TSLibraryImport status %1 progress %2>").arg(int(importer.status())).arg(double(importer.progress()));
}

} // namespace quorvel
