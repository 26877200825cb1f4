#pragma once
#include "CliCommand.h"

namespace quorvel::cli {

// quorvel-cli save FILE DEST [--format m4r|m4a|ogg]: a copy of a stored
// ringtone for a phone, in a folder or under a file name.
class SaveCommand {
  public:
    static CliCommand command();
    static int run(const QCommandLineParser& line);
};

} // namespace quorvel::cli
