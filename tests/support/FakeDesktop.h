#pragma once
// Test doubles behind the real session bus and the real PATH: a file manager
// and a notification service registered on a second bus connection of this
// test program (each records the calls it gets), and a "kdeconnect-cli"
// script that lists one phone and records what it is asked to share.
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

namespace quorvel::test {

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shownItems;
public slots:
    void ShowItems(const QStringList& uris, const QString& startupId);
};

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QList<Call> calls;
public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout);
};

// Registers a service object under its name on a connection of its own;
// unregistered when destroyed.
class FakeService {
public:
    FakeService(QObject* object, const QString& service, const QString& path);
    ~FakeService();
    bool isRegistered() const { return registered_; }

private:
    QString name_;
    QDBusConnection connection_;
    bool registered_ = false;
};

// A fake "kdeconnect-cli" first on PATH while it lives.
class FakeKdeConnect {
public:
    // `devices` lines as the real one prints them ("ID NAME"); `shareFails`
    // makes --share exit 1 with a message.
    explicit FakeKdeConnect(const QStringList& devices, bool shareFails = false);
    ~FakeKdeConnect();
    // Each run's arguments, one line per run.
    QStringList calls() const;

private:
    QTemporaryDir dir_;
    QByteArray oldPath_;
};

} // namespace quorvel::test
