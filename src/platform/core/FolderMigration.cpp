#include "platform/core/FolderMigration.h"

#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace quorvel {

QStringList FolderMigration::moveOldFiles() {
    QStringList done;
    moveSongCache(&done);
    moveWindowSettings(&done);
    for (const QString& line : done) NSLog("%@", line);
    return done;
}

bool FolderMigration::moveSongCache(QStringList* done) {
    const QString old = Paths::applicationHome() + QStringLiteral("/.SongCache");
    if (!QFileInfo(old).isDir()) return false;
    const QString target = Paths::songCacheDirectory();
    QDir oldDir(old);
    // The new folder is made on first use; an empty one is taken over whole.
    QDir(target).rmdir(target);
    if (!QFileInfo::exists(target) && QDir().rename(old, target)) {
        done->append(QStringLiteral("Moved the song cache from %1 to %2").arg(old, target));
        return true;
    }
    QDir().mkpath(target);
    int moved = 0;
    for (const QFileInfo& entry : oldDir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString dest = target + QLatin1Char('/') + entry.fileName();
        // No copy where a rename cannot do it (QFile::rename would copy).
        if (!QFileInfo::exists(dest) && QDir().rename(entry.filePath(), dest)) ++moved;
    }
    // What could not be moved is a cache: it is decoded again when needed.
    oldDir.removeRecursively();
    done->append(QStringLiteral("Moved %1 decoded songs from %2 to %3").arg(moved).arg(old, target));
    return true;
}

bool FolderMigration::moveWindowSettings(QStringList* done) {
    const QString oldPath = UserDefaults::standardFilePath();
    if (!QFileInfo::exists(oldPath)) return false;
    UserDefaults& standard = UserDefaults::standardUserDefaults();
    UserDefaults& window = UserDefaults::windowDefaults();
    auto standardLock = standard.lock();
    auto windowLock = window.lock();
    // Through QSettings on the files themselves: the keys are listed there.
    QSettings old(oldPath, QSettings::IniFormat);
    QStringList keys;
    for (const QString& key : old.allKeys())
        if (key.startsWith(QLatin1String(kWindowKeyPrefix))) keys.append(key);
    if (keys.isEmpty()) return false;
    QSettings moved(UserDefaults::windowFilePath(), QSettings::IniFormat);
    for (const QString& key : keys)
        if (!moved.contains(key)) moved.setValue(key, old.value(key));
    moved.sync();
    if (moved.status() != QSettings::NoError) {
        NSLog("Could not write the window settings to %@; they stay in %@", UserDefaults::windowFilePath(), oldPath);
        return false;
    }
    for (const QString& key : keys) old.remove(key);
    old.sync();
    // The open defaults read the files again.
    standard.reload();
    window.reload();
    done->append(QStringLiteral("Moved the window settings from %1 to %2").arg(oldPath, UserDefaults::windowFilePath()));
    return true;
}

} // namespace quorvel
