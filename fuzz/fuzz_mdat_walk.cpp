// The importer's "mdat" walk on arbitrary bytes as the movie: it either
// raises TSUnknownError with a reason or copies at most the bytes after the
// first header, and it never moves backwards.
#include "FuzzInput.h"
#include "pipeline/TSLibraryImport.h"

#include <QFile>
#include <QFileInfo>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString movie = fuzz::writeInput(data, size, QStringLiteral("mov"));
    const QString dest = fuzz::scratchDir() + QStringLiteral("/extracted.mp3");
    QFile::remove(dest);
    auto importer = TSLibraryImport::create();
    importer->setWalkObserver([](const char* step, qint64 bytes) {
        fuzz::check(bytes >= 0, "the walk never moves backwards");
        fuzz::check(step[0] != 'c' || bytes <= 102400, "the payload is copied through a 100 KB buffer");
    });
    try {
        importer->extractQuicktimeMovie(QUrl::fromLocalFile(movie), QUrl::fromLocalFile(dest));
        const QFileInfo copy(dest);
        fuzz::check(copy.exists(), "a finished walk leaves the copy");
        fuzz::check(size >= 8 && uint64_t(copy.size()) <= size - 8, "the copy never runs past the end of the movie");
    } catch (const NSException& e) {
        fuzz::check(e.name() == TSUnknownError && !e.reason().isEmpty(), "a failed walk raises TSUnknownError with a reason");
    }
    return 0;
}
