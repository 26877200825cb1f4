#include "CliContext.h"

#include "CliOutput.h"
#include "platform/core/TerminationSignals.h"
#include "rating/Appirater.h"

#include <QCoreApplication>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

namespace quorvel::cli {

CliContext::CliContext() {
    if (delegate_.applicationDidFinishLaunchingWithOptions()) return;
    // Nothing has started yet; the store is left as it is for the window
    // (which offers to move a damaged one aside) or the user.
    const std::optional<StoreTrouble>& trouble = delegate_.storeTrouble();
    QString sentence = trouble ? trouble->what() : QStringLiteral("the ringtone store cannot be opened");
    if (trouble && trouble->canMoveAside()) sentence += QStringLiteral("; quorvel, the window, offers to move it aside and start a new one");
    CliOutput::message(QStringLiteral("quorvel-cli: ") + sentence);
    std::fflush(nullptr);
    std::_Exit(kExitFailure);
}

CliContext::~CliContext() {
    delegate_.applicationWillTerminate();
    Appirater::waitForPendingCounts();
}

int CliContext::fail(const QString& message) {
    CliOutput::message(QStringLiteral("quorvel-cli: ") + message);
    return kExitFailure;
}

int CliContext::usage(const QString& message, const QString& usage) {
    // Qt's own texts end in a full stop; the usage follows here.
    QString what = message;
    if (what.endsWith(QLatin1Char('.'))) what.chop(1);
    CliOutput::message(QCoreApplication::translate("quorvel-cli", "quorvel-cli: %1 (%2; see --help)").arg(what, usage));
    return kExitUsage;
}

int CliContext::interrupted() {
    CliOutput::message(QStringLiteral("quorvel-cli: interrupted; nothing was made"));
    return 128 + TerminationSignals::signalNumber();
}

void CliContext::out(const QString& line) { CliOutput::result(line); }

std::optional<QString> CliContext::localPath(const QString& argument, QString* error) {
    if (!argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) return argument;
    const QUrl url(argument);
    const QString host = url.host();
    if (!url.isValid() || url.path().isEmpty() ||
        !(host.isEmpty() || host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)) {
        *error = QCoreApplication::translate("quorvel-cli", "%1 is not a file URL of this machine").arg(argument);
        return std::nullopt;
    }
    return url.path(QUrl::FullyDecoded);
}

} // namespace quorvel::cli
