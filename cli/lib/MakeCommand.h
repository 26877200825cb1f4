#pragma once
#include <QStringList>

namespace quorvel {
class MPMediaItem;
}

namespace quorvel::cli {

// quorvel-cli make SOURCE [--start S] [--length L] [--fade-in F] [--fade-out F]
//                        [--speed V] [--pitch P] [--recording]
// Makes a ringtone through the editor's road and stores it; the last line on
// standard output is the stored file's path.
class MakeCommand {
  public:
    static const char* help();
    static int run(const QStringList& args);
    // The pick's DRM refusal: a protected song, or one without an asset URL.
    static bool isRefusedPick(const MPMediaItem& item);
};

} // namespace quorvel::cli
