#pragma once
#include "CliCommand.h"

namespace quorvel::cli {

// quorvel-cli delete FILE: deletes a stored ringtone, its row and its file.
class DeleteCommand {
  public:
    static CliCommand command();
    static int run(const QCommandLineParser& line);
};

} // namespace quorvel::cli
