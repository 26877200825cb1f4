#include "FakeDesktop.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QUuid>

namespace quorvel::test {

void FakeFileManager::ShowItems(const QStringList& uris, const QString&) { shownItems.append(uris); }

uint FakeNotifications::Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                               const QStringList&, const QVariantMap& hints, int) {
    calls.append({summary, body, hints});
    return uint(calls.size());
}

FakeService::FakeService(QObject* object, const QString& service, const QString& path)
    : name_(QStringLiteral("fake-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name_)) {
    registered_ = connection_.isConnected() &&
                  connection_.registerObject(path, object, QDBusConnection::ExportAllSlots) &&
                  connection_.registerService(service);
}

FakeService::~FakeService() { QDBusConnection::disconnectFromBus(name_); }

FakeKdeConnect::FakeKdeConnect(const QStringList& devices, bool shareFails) : oldPath_(qgetenv("PATH")) {
    const QString script = dir_.filePath(QStringLiteral("kdeconnect-cli"));
    QFile f(script);
    f.open(QIODevice::WriteOnly);
    QString text = QStringLiteral("#!/bin/sh\necho \"$*\" >> \"%1/calls\"\n").arg(dir_.path());
    text += QStringLiteral("case \"$1\" in\n--list-available)\n");
    for (const QString& d : devices) text += QStringLiteral("  echo '%1'\n").arg(d);
    text += QStringLiteral("  ;;\n--share)\n");
    text += shareFails ? QStringLiteral("  echo 'error: device not reachable' >&2; exit 1\n") : QString();
    text += QStringLiteral("  ;;\nesac\n");
    f.write(text.toUtf8());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("PATH", dir_.path().toLocal8Bit() + ":" + oldPath_);
}

FakeKdeConnect::~FakeKdeConnect() { qputenv("PATH", oldPath_); }

QStringList FakeKdeConnect::calls() const {
    QFile f(dir_.filePath(QStringLiteral("calls")));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace quorvel::test
