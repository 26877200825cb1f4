#include "platform/desktop/DesktopNotifier.h"

#include "platform/core/Paths.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QSaveFile>
#include <QUrl>
#include <QVariantMap>

namespace quorvel {

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

void DesktopNotifier::notify(const QString& summary, const QString& body, const QImage& image) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QVariantMap hints;
    if (!image.isNull()) {
        const QString folder = Paths::cacheDirectory();
        QDir().mkpath(folder);
        const QString path = QDir(folder).filePath(QStringLiteral("notification-artwork.png"));
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit())
            hints.insert(QStringLiteral("image-path"), QUrl::fromLocalFile(path).toString());
    }
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quorvel"));
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kService), QStringLiteral("Notify"));
    call << QStringLiteral("Quorvel") << lastId_ << QStringLiteral("quorvel") << summary << body << QStringList()
         << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (!reply.isError()) lastId_ = reply.value();
    });
}

} // namespace quorvel
