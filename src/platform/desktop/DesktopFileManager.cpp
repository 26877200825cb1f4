#include "platform/desktop/DesktopFileManager.h"

#include "platform/core/Log.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

namespace quorvel {

DesktopFileManager::DesktopFileManager(QObject* parent) : QObject(parent) {}

bool DesktopFileManager::openFolder(const QString& folder) {
    // The desktop's opener needs the GUI application (none in the command-line program).
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void DesktopFileManager::showItem(const QString& path, std::function<void(Shown)> done) {
    const QString folder = QFileInfo(path).absolutePath();
    auto fallBack = [folder, done] { done(openFolder(folder) ? Shown::FolderOpened : Shown::Failed); };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallBack();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kService), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, fallBack, done] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        if (!reply.isError()) {
            done(Shown::Selected);
            return;
        }
        NSLog("The file manager did not answer: %@", reply.error().message());
        fallBack();
    });
}

} // namespace quorvel
