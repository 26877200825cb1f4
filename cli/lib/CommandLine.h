#pragma once
// quorvel-cli's command line: "quorvel-cli [OPTIONS] COMMAND [ARGS]". The
// program's options (--help, --version, --verbose) come before the command,
// the command's own after it; --help and --verbose work in both places.
// A wrong command line is one line on standard error and exit status 2.
#include "CliCommand.h"

#include <QList>
#include <QStringList>

namespace quorvel::cli {

class CommandLine {
  public:
    explicit CommandLine(QList<CliCommand> commands);

    // `arguments` as the program got them (the first is the program).
    int run(const QStringList& arguments) const;
    QString helpText() const;

  private:
    int runCommand(const CliCommand& command, const QStringList& arguments, bool verbose) const;

    QList<CliCommand> commands_;
};

} // namespace quorvel::cli
