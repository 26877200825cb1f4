#pragma once
#include "CliCommand.h"

namespace quorvel::cli {

// quorvel-cli list: the stored ringtones newest first: file name,
// title-counter, artist, duration, separated by tabs.
class ListCommand {
  public:
    static CliCommand command();
    static int run(const QCommandLineParser& line);
};

} // namespace quorvel::cli
