#pragma once
#include <QStringList>

namespace quorvel::cli {

// quorvel-cli delete FILE: deletes a stored ringtone, its row and its file.
class DeleteCommand {
  public:
    static const char* help();
    static int run(const QStringList& args);
};

} // namespace quorvel::cli
