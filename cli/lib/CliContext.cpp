#include "CliContext.h"

#include "Appirater.h"

#include <cstdio>

namespace quorvel::cli {

CliContext::CliContext() { delegate_.applicationDidFinishLaunchingWithOptions(); }

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

void CliContext::out(const QString& line) {
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace quorvel::cli
