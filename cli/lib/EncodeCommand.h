#pragma once
#include <QStringList>

namespace quorvel::cli {

// quorvel-cli encode WAV OUTPUT: the AAC writer alone on a mono 44,100 Hz
// WAV file, then the ringtone tag.
class EncodeCommand {
  public:
    static const char* help();
    static int run(const QStringList& args);
};

} // namespace quorvel::cli
