#pragma once
#include <QStringList>

namespace quorvel::cli {

// quorvel-cli list: the stored ringtones newest first: file name,
// title-counter, artist, duration, separated by tabs.
class ListCommand {
  public:
    static const char* help();
    static int run(const QStringList& args);
};

} // namespace quorvel::cli
