#pragma once
#include "CliCommand.h"

namespace quorvel::cli {

// quorvel-cli encode WAV OUTPUT: the AAC writer alone on a mono 44,100 Hz
// WAV file, then the ringtone tag.
class EncodeCommand {
  public:
    static CliCommand command();
    static int run(const QCommandLineParser& line);
};

} // namespace quorvel::cli
