#include "platform/desktop/PhoneLink.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace quorvel {

namespace {

// Runs the command and hands its exit code and output to `done`; -1 when
// it could not start or ran too long.
void run(QObject* owner, const QStringList& args, std::function<void(int, QString, QString)> done) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(PhoneLink::kProgram));
    if (program.isEmpty()) {
        done(-1, {}, QStringLiteral("KDE Connect is not installed"));
        return;
    }
    auto* process = new QProcess(owner);
    auto* timer = new QTimer(process);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, process, [process] { process->kill(); });
    QObject::connect(process, &QProcess::finished, owner, [process, done](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        const QString out = QString::fromUtf8(process->readAllStandardOutput());
        const QString err = QString::fromUtf8(process->readAllStandardError()).trimmed();
        done(status == QProcess::NormalExit ? code : -1, out, err);
    });
    QObject::connect(process, &QProcess::errorOccurred, owner, [process, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        process->deleteLater();
        done(-1, {}, process->errorString());
    });
    process->start(program, args);
    timer->start(PhoneLink::kTimeoutMs);
}

} // namespace

PhoneLink::PhoneLink(QObject* parent) : QObject(parent) {}

void PhoneLink::listDevices(std::function<void(QList<PhoneDevice>)> done) {
    run(this, {QStringLiteral("--list-available"), QStringLiteral("--id-name-only")},
        [done](int code, const QString& out, const QString&) {
            QList<PhoneDevice> devices;
            if (code == 0) {
                for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                    const QString t = line.trimmed();
                    const qsizetype space = t.indexOf(QLatin1Char(' '));
                    if (space <= 0) continue;
                    devices.append({t.left(space), t.mid(space + 1).trimmed()});
                }
            }
            done(devices);
        });
}

void PhoneLink::share(const QString& path, const QString& deviceId, std::function<void(QString)> done) {
    run(this,
        {QStringLiteral("--share"), QFileInfo(path).absoluteFilePath(), QStringLiteral("--device"), deviceId},
        [done](int code, const QString&, const QString& err) {
            done(code == 0 ? QString() : err.isEmpty() ? QStringLiteral("KDE Connect could not send it") : err);
        });
}

} // namespace quorvel
