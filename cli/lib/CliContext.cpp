#include "CliContext.h"

#include "Appirater.h"
#include "CliOutput.h"

#include <QUrl>

namespace quorvel::cli {

CliContext::CliContext() {
    delegate_.applicationDidFinishLaunchingWithOptions();
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
    CliOutput::message(QStringLiteral("quorvel-cli: %1 (%2; see --help)").arg(what, usage));
    return kExitUsage;
}

void CliContext::out(const QString& line) { CliOutput::result(line); }

std::optional<QString> CliContext::localPath(const QString& argument, QString* error) {
    if (!argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) return argument;
    const QUrl url(argument);
    const QString host = url.host();
    if (!url.isValid() || url.path().isEmpty() ||
        !(host.isEmpty() || host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)) {
        *error = QStringLiteral("%1 is not a file URL of this machine").arg(argument);
        return std::nullopt;
    }
    return url.path(QUrl::FullyDecoded);
}

} // namespace quorvel::cli
