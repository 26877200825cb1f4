#include "app/StoreTrouble.h"

#include "platform/core/NoReplaceRename.h"
#include "platform/store/CoreDataErrors.h"

#include <QDir>
#include <QFileInfo>

namespace quorvel {

namespace {
// SQLite's result codes for a file that is not, or no longer, a database.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;
const char* const kLogSuffixes[] = {"-wal", "-shm", "-journal"};
} // namespace

StoreTrouble::StoreTrouble(const QString& storePath, const NSError& error)
    : storePath_(QFileInfo(storePath).absoluteFilePath()),
      reason_(error.userInfo.value(NSReasonErrorKey).toString()) {
    const int sqlite = error.userInfo.value(NSSQLiteErrorDomainKey).toInt();
    if (error.code == NSPersistentStoreIncompatibleVersionHashError && reason_.startsWith(QStringLiteral("store version")))
        kind_ = Kind::Newer;
    else if (error.code == NSFileReadCorruptFileError || error.code == NSPersistentStoreIncompatibleSchemaError ||
             error.code == NSPersistentStoreIncompatibleVersionHashError || sqlite == kSqliteCorrupt ||
             sqlite == kSqliteNotADatabase)
        kind_ = Kind::Damaged;
    if (reason_.isEmpty()) reason_ = error.localizedDescription;
}

QString StoreTrouble::what() const {
    const QString path = QDir::toNativeSeparators(storePath_);
    switch (kind_) {
    case Kind::Damaged:
        return QStringLiteral("the ringtone store %1 is damaged (%2)").arg(path, reason_);
    case Kind::Newer:
        return QStringLiteral("the ringtone store %1 was written by a newer version of Quorvel (%2)").arg(path, reason_);
    case Kind::Unreachable:
        break;
    }
    const QString folder = QFileInfo(storePath_).absolutePath();
    if (!QFileInfo(folder).isWritable())
        return QStringLiteral("the ringtone store %1 cannot be opened: its folder %2 cannot be written to (%3)")
            .arg(path, QDir::toNativeSeparators(folder), reason_);
    return QStringLiteral("the ringtone store %1 cannot be opened (%2)").arg(path, reason_);
}

QString StoreTrouble::keptPath(const QDate& day) const {
    const QString base = storePath_ + QStringLiteral(".damaged-") + day.toString(Qt::ISODate);
    QString candidate = base;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = base + QStringLiteral("-%1").arg(n);
    return candidate;
}

bool StoreTrouble::moveAside(const QDate& day, QString* keptAs, QString* error) const {
    if (!canMoveAside()) {
        if (error) *error = QStringLiteral("only a damaged store is moved aside");
        return false;
    }
    // Another program may take the same name at the same moment: try the next.
    QString target;
    for (int attempt = 0; attempt < 100; ++attempt) {
        target = keptPath(day);
        QString why;
        const NoReplaceRename::Result moved = NoReplaceRename::move(storePath_, target, &why);
        if (moved == NoReplaceRename::Result::Moved) break;
        if (moved == NoReplaceRename::Result::Failed) {
            if (error) *error = why;
            return false;
        }
        target.clear();
    }
    if (target.isEmpty()) {
        if (error) *error = QStringLiteral("no free name beside it");
        return false;
    }
    // Its logs go with it: replayed into the new store they would damage it too.
    for (const char* suffix : kLogSuffixes) {
        const QString log = storePath_ + QLatin1String(suffix);
        if (QFileInfo::exists(log)) NoReplaceRename::move(log, target + QLatin1String(suffix));
    }
    if (keptAs) *keptAs = target;
    return true;
}

} // namespace quorvel
