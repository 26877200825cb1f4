#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorvel {

QString Paths::applicationHome() {
    QString home = qEnvironmentVariable("QUORVEL_HOME");
    if (home.isEmpty()) {
        QString data = qEnvironmentVariable("XDG_DATA_HOME");
        if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share");
        home = data + QStringLiteral("/quorvel");
    }
    QDir().mkpath(home);
    return QDir::cleanPath(home);
}

QString Paths::documentsDirectory() {
    QString docs = applicationHome() + QStringLiteral("/Documents");
    QDir().mkpath(docs);
    return docs;
}

QString Paths::documentPath(const QString& fileName) { return documentsDirectory() + QLatin1Char('/') + fileName; }

namespace {

// $QUORVEL_HOME/<underHome> when the home is set (tests keep everything in one
// folder), else the XDG base folder of that kind joined with "quorvel".
QString projectDirectory(const char* underHome, QStandardPaths::StandardLocation generic) {
    QString dir;
    const QString home = qEnvironmentVariable("QUORVEL_HOME");
    if (!home.isEmpty()) {
        dir = home + QLatin1Char('/') + QLatin1String(underHome);
    } else {
        dir = QStandardPaths::writableLocation(generic) + QStringLiteral("/quorvel");
    }
    QDir().mkpath(dir);
    return QDir::cleanPath(dir);
}

} // namespace

QString Paths::cacheDirectory() { return projectDirectory("Cache", QStandardPaths::GenericCacheLocation); }

QString Paths::configDirectory() { return projectDirectory("Config", QStandardPaths::GenericConfigLocation); }

QString Paths::resourceDirectory() {
    QString dir = qEnvironmentVariable("QUORVEL_RESOURCES");
    if (!dir.isEmpty()) return dir;
    // An installed program finds its resources beside it in share/quorvel.
    if (QCoreApplication::instance()) {
        QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quorvel");
        if (QFileInfo::exists(installed + QStringLiteral("/strings.txt"))) return QDir::cleanPath(installed);
    }
    return QStringLiteral(QUORVEL_RESOURCE_DIR);
}

QString Paths::resourcePath(const QString& name) { return resourceDirectory() + QLatin1Char('/') + name; }

QString Paths::imagePath(const QString& name) { return resourceDirectory() + QStringLiteral("/images/") + name; }

} // namespace quorvel
