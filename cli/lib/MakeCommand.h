#pragma once
#include "CliCommand.h"

namespace quorvel::cli {

// quorvel-cli make SOURCE [--start S] [--length L] [--fade-in F] [--fade-out F]
//                        [--speed V] [--pitch P] [--recording]
// Makes a ringtone through the editor's road and stores it; the last line on
// standard output is the stored file's path.
class MakeCommand {
  public:
    static CliCommand command();
    static int run(const QCommandLineParser& line);
};

} // namespace quorvel::cli
