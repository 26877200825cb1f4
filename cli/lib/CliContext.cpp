#include "CliContext.h"

#include "Appirater.h"
#include "TerminationSignals.h"

#include <cstdio>

namespace quorvel::cli {

std::optional<CommandLine> parseCommand(const QStringList& args, QList<OptionSpec> options, const char* help,
                                        qsizetype positionalCount, const QString& positionalError,
                                        int* exitCode) {
    options.append({QStringLiteral("help"), false});
    QString error;
    auto line = CommandLine::parse(args, options, &error);
    if (!line) {
        *exitCode = CliContext::usage(error, QString::fromUtf8(help));
        return std::nullopt;
    }
    if (line->has(QStringLiteral("help"))) {
        std::fputs(help, stdout);
        *exitCode = kExitOk;
        return std::nullopt;
    }
    if (line->positional().size() != positionalCount) {
        *exitCode = CliContext::usage(positionalError, QString::fromUtf8(help));
        return std::nullopt;
    }
    return line;
}

CliContext::CliContext() {
    delegate_.applicationDidFinishLaunchingWithOptions();
}

CliContext::~CliContext() {
    delegate_.applicationWillTerminate();
    Appirater::waitForPendingCounts();
}

int CliContext::fail(const QString& message) {
    std::fprintf(stderr, "quorvel-cli: %s\n", message.toUtf8().constData());
    return kExitFailure;
}

int CliContext::usage(const QString& message, const QString& help) {
    std::fprintf(stderr, "quorvel-cli: %s\n\n%s", message.toUtf8().constData(), help.toUtf8().constData());
    return kExitUsage;
}

int CliContext::interrupted() {
    std::fputs("quorvel-cli: interrupted; nothing was made\n", stderr);
    return 128 + TerminationSignals::signalNumber();
}

void CliContext::out(const QString& line) {
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace quorvel::cli
