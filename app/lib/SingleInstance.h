#pragma once
// One window per documents folder. The first program to start listens on a
// local socket named after the folder; a later one hands its file to it (or
// only asks it to come to the front) and ends, as "Open with Quorvel" in a
// file manager expects.
//
// The protocol is one line of UTF-8 per file, absolute paths, then an empty
// line; the listener answers "ok". Main thread only.
#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace quorvel {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& documentsFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket's name for the folder: in $XDG_RUNTIME_DIR (else the
    // temporary folder), from the user and the folder's canonical path.
    static QString socketPath(const QString& documentsFolder);

    // True when a running program took the files (the caller ends then).
    bool handOver(const QStringList& files, int timeoutMs = 5000);
    // Listens for later programs; false (and the reason in the log) when
    // the socket cannot be made, in which case each start opens a window.
    bool listen();

signals:
    // A later program's files (possibly none: it only asked to be shown).
    void filesReceived(const QStringList& files);

private:
    void readFrom(QLocalSocket* socket);

    QString path_;
    QLocalServer* server_ = nullptr;
};

} // namespace quorvel
