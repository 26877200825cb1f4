#include "DisplayCheck.h"

#include <QDebug>
#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quorvel {

namespace {

// Qt's messages while it connects: held back, and shown once it has connected.
QList<std::pair<QtMsgType, QString>>* held = nullptr;

void whileConnecting(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        // No platform plugin could start: Qt would abort with a page of text.
        std::fprintf(stderr, "%s\n", DisplayCheck::kMessage);
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    }
    held->append({type, message});
}

} // namespace

std::unique_ptr<QApplication> DisplayCheck::createApplication(int& argc, char** argv) {
    QList<std::pair<QtMsgType, QString>> messages;
    held = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(whileConnecting);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    held = nullptr;
    for (const auto& [type, message] : messages) {
        switch (type) {
        case QtDebugMsg: qDebug().noquote() << message; break;
        case QtInfoMsg: qInfo().noquote() << message; break;
        case QtWarningMsg: qWarning().noquote() << message; break;
        default: qCritical().noquote() << message; break;
        }
    }
    return application;
}

} // namespace quorvel
