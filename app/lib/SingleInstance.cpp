#include "SingleInstance.h"

#include "platform/core/Log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>

namespace quorvel {

SingleInstance::SingleInstance(const QString& documentsFolder, QObject* parent)
    : QObject(parent), path_(socketPath(documentsFolder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath(const QString& documentsFolder) {
    QString folder = QFileInfo(documentsFolder).canonicalFilePath();
    if (folder.isEmpty()) folder = QDir::cleanPath(QFileInfo(documentsFolder).absoluteFilePath());
    const QByteArray key = QByteArray::number(getuid()) + '\0' + folder.toUtf8();
    const QString name =
        QStringLiteral("quorvel-%1.socket")
            .arg(QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(20)));
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return dir + QLatin1Char('/') + name;
}

bool SingleInstance::handOver(const QStringList& files, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    QByteArray message;
    for (const QString& file : files) message += QFileInfo(file).absoluteFilePath().toUtf8() + '\n';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    return socket.readLine().trimmed() == "ok";
}

bool SingleInstance::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) {
        // A socket left by a program that ended without closing it: nobody
        // answered on it, so it is free to take.
        QLocalServer::removeServer(path_);
        if (!server_->listen(path_)) {
            NSLog("Cannot listen on %@ (%@): a second start opens another window", path_, server_->errorString());
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
            readFrom(socket);
        }
    });
    return true;
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    // Nothing is done until the whole message (up to its empty line) is in.
    const QByteArray pending = socket->peek(socket->bytesAvailable());
    if (!pending.startsWith('\n') && !pending.contains("\n\n")) {
        if (pending.size() > (1 << 20)) socket->abort();
        return;
    }
    QStringList files;
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine().chopped(1);
        if (line.isEmpty()) break;
        files.append(QString::fromUtf8(line));
    }
    socket->write("ok\n");
    socket->flush();
    socket->disconnectFromServer();
    emit filesReceived(files);
}

} // namespace quorvel
