#pragma once
// What every quorvel-cli command shares: the start-up reconciliation before
// it runs, the save and the pending rating counts after it, and the ways it
// reports errors.
#include "app/QuorvelAppDelegate.h"

#include <QString>
#include <optional>

namespace quorvel::cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

class CliContext {
  public:
    // Opens the store and reconciles it with the documents folder (the
    // program's start-up). A store that cannot be opened ends the process
    // with status 1 and one sentence saying why and where it is.
    CliContext();
    // Saves pending store changes and waits for the rating counts.
    ~CliContext();

    static int fail(const QString& message);                        // "quorvel-cli: message", returns 1
    static int usage(const QString& message, const QString& usage); // one line, returns 2
    // SIGINT or SIGTERM stopped the command: says so, returns 128 + the signal.
    static int interrupted();
    static void out(const QString& line);                           // one result line on standard output

    // A path argument as a local path: a plain path, or a "file:" URL of
    // this machine. Nothing (and *error set) for other URLs.
    static std::optional<QString> localPath(const QString& argument, QString* error);

    CliContext(const CliContext&) = delete;
    CliContext& operator=(const CliContext&) = delete;

  private:
    QuorvelAppDelegate delegate_{false};
};

} // namespace quorvel::cli
