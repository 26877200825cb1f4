#pragma once
#include <QStringList>

namespace quorvel::cli {

// quorvel-cli save FILE DEST [--format m4r|m4a|ogg]: a copy of a stored
// ringtone for a phone, in a folder or under a file name.
class SaveCommand {
  public:
    static const char* help();
    static int run(const QStringList& args);
};

} // namespace quorvel::cli
