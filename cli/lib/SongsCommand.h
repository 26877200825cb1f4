#pragma once
#include <QStringList>

namespace quorvel::cli {

// quorvel-cli songs [--search TEXT] [--demo]: one line per song of the music
// library: URL, title, artist, length in seconds, separated by tabs.
class SongsCommand {
  public:
    static const char* help();
    static int run(const QStringList& args);
};

} // namespace quorvel::cli
