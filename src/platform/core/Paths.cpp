#include "platform/core/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorvel {

namespace {

// The XDG base folder of one kind. A relative value of its variable is
// ignored, as the base-directory rules say, whatever Qt's version does with it.
QString xdgBase(const char* variable, const char* defaultUnderHome, QStandardPaths::StandardLocation location) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isRelativePath(value))
        return QDir::homePath() + QLatin1Char('/') + QLatin1String(defaultUnderHome);
    return QStandardPaths::writableLocation(location);
}

// $QUORVEL_HOME/<underHome> when the home is set (tests keep everything in one
// folder), else the XDG base folder of that kind joined with "quorvel".
QString projectDirectory(const char* underHome, const char* variable, const char* defaultUnderHome,
                         QStandardPaths::StandardLocation location) {
    QString dir;
    const QString home = qEnvironmentVariable("QUORVEL_HOME");
    if (!home.isEmpty()) {
        dir = underHome[0] ? home + QLatin1Char('/') + QLatin1String(underHome) : home;
    } else {
        dir = xdgBase(variable, defaultUnderHome, location) + QStringLiteral("/quorvel");
    }
    QDir().mkpath(dir);
    return QDir::cleanPath(dir);
}

// The folder of the running program; without an application object (a few
// tests), the kernel's name for it.
QString executableDirectory() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

} // namespace

QString Paths::applicationHome() {
    return projectDirectory("", "XDG_DATA_HOME", ".local/share", QStandardPaths::GenericDataLocation);
}

QString Paths::documentsDirectory() {
    QString docs = applicationHome() + QStringLiteral("/Documents");
    QDir().mkpath(docs);
    return docs;
}

QString Paths::documentPath(const QString& fileName) { return documentsDirectory() + QLatin1Char('/') + fileName; }

QString Paths::cacheDirectory() {
    return projectDirectory("Cache", "XDG_CACHE_HOME", ".cache", QStandardPaths::GenericCacheLocation);
}

QString Paths::configDirectory() {
    return projectDirectory("Config", "XDG_CONFIG_HOME", ".config", QStandardPaths::GenericConfigLocation);
}

QString Paths::songCacheDirectory() { return cacheDirectory() + QStringLiteral("/SongCache"); }

QString Paths::resourceDirectory() {
    QString dir = qEnvironmentVariable("QUORVEL_RESOURCES");
    if (!dir.isEmpty()) return dir;
    // Installed, the programs sit in bin/ beside share/quorvel; in the build
    // tree every program sits one folder below the build's share/quorvel,
    // which links to the source's resources and the built demo songs.
    return QDir::cleanPath(executableDirectory() + QStringLiteral("/../share/quorvel"));
}

QString Paths::resourcePath(const QString& name) { return resourceDirectory() + QLatin1Char('/') + name; }

QString Paths::imagePath(const QString& name) { return resourceDirectory() + QStringLiteral("/images/") + name; }

} // namespace quorvel
