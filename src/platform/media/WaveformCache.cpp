#include "platform/media/WaveformCache.h"

#include "platform/core/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace quorvel {

namespace {
const QString kSuffix = QStringLiteral(".peaks");
}

QString WaveformCache::directory() { return Paths::cacheDirectory() + QStringLiteral("/Waveforms"); }

QString WaveformCache::pathFor(uint64_t songId, qint64 modifiedMs) {
    return directory() + QStringLiteral("/%1-%2").arg(songId).arg(modifiedMs) + kSuffix;
}

std::optional<WaveformPeaks> WaveformCache::load(uint64_t songId, qint64 modifiedMs) {
    QFile file(pathFor(songId, modifiedMs));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return WaveformPeaks::fromBytes(file.readAll());
}

bool WaveformCache::store(uint64_t songId, qint64 modifiedMs, const WaveformPeaks& peaks, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    QDir folder(directory());
    if (!folder.mkpath(QStringLiteral("."))) return fail(QStringLiteral("%1 cannot be made").arg(folder.path()));
    const QString path = pathFor(songId, modifiedMs);
    QTemporaryFile work(folder.filePath(QStringLiteral(".peaks-XXXXXX")));
    const QByteArray bytes = peaks.toBytes();
    if (!work.open() || work.write(bytes) != bytes.size() || !work.flush())
        return fail(QStringLiteral("%1: %2").arg(work.fileName(), work.errorString()));
    // Another program may have stored the same peaks meanwhile: theirs stay.
    if (QFile::exists(path)) return true;
    if (!work.rename(path)) return fail(QStringLiteral("%1: %2").arg(path, work.errorString()));
    work.setAutoRemove(false);
    const QString mine = QFileInfo(path).fileName();
    for (const QString& older : folder.entryList({QStringLiteral("%1-*").arg(songId) + kSuffix}, QDir::Files))
        if (older != mine) folder.remove(older);
    return true;
}

} // namespace quorvel
