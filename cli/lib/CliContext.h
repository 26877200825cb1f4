#pragma once
// What every quorvel-cli command shares: the start-up reconciliation before
// it runs, the save and the pending rating counts after it, and the ways it
// reports errors.
#include "CommandLine.h"
#include "QuorvelAppDelegate.h"

#include <QString>

namespace quorvel::cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Parses one command's arguments: `--help` prints `help`, and unknown options
// or a wrong number of positional arguments print the usage. In those cases
// nothing is returned and *exitCode holds what the command returns.
std::optional<CommandLine> parseCommand(const QStringList& args, QList<OptionSpec> options, const char* help,
                                        qsizetype positionalCount, const QString& positionalError,
                                        int* exitCode);

class CliContext {
  public:
    // Opens the store and reconciles it with the documents folder (the
    // program's start-up). A store that cannot be opened ends the process.
    CliContext();
    // Saves pending store changes and waits for the rating counts.
    ~CliContext();

    static int fail(const QString& message);                       // prints "quorvel-cli: message", returns 1
    static int usage(const QString& message, const QString& help); // returns 2
    // SIGINT or SIGTERM stopped the command: says so, returns 128 + the signal.
    static int interrupted();
    static void out(const QString& line);                          // one line on standard output

    CliContext(const CliContext&) = delete;
    CliContext& operator=(const CliContext&) = delete;

  private:
    QuorvelAppDelegate delegate_{false};
};

} // namespace quorvel::cli
