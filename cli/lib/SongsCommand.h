#pragma once
#include "CliCommand.h"

namespace quorvel::cli {

// quorvel-cli songs [--search TEXT] [--demo]: one line per song of the music
// library: URL, title, artist, length in seconds, separated by tabs.
class SongsCommand {
  public:
    static CliCommand command();
    static int run(const QCommandLineParser& line);
};

} // namespace quorvel::cli
