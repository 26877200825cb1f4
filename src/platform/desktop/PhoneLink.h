#pragma once
// Phones paired through KDE Connect (or GSConnect, which answers to the same
// command): the reachable paired devices, and sending a file to one, through
// the desktop's "kdeconnect-cli" as that desktop expects to be asked.
// Without the command there are no phones.
//
// Main thread only; the command runs as a child process and never blocks it.
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace quorvel {

struct PhoneDevice {
    QString id;
    QString name;
};

class PhoneLink : public QObject {
    Q_OBJECT
public:
    explicit PhoneLink(QObject* parent = nullptr);

    // The reachable paired devices ("kdeconnect-cli --list-available --id-name-only").
    void listDevices(std::function<void(QList<PhoneDevice>)> done);
    // Sends `path` to `deviceId`; `done` gets an empty text, or why not.
    void share(const QString& path, const QString& deviceId, std::function<void(QString)> done);

    static constexpr const char* kProgram = "kdeconnect-cli";
    // A command that has not answered by then is ended.
    static constexpr int kTimeoutMs = 30000;
};

} // namespace quorvel
