#pragma once
// The name a stored ringtone's file gets: base + "-" + counter + ".m4r", the
// base being the working file's name without its ".m4r". Two rules keep
// every ringtone reachable: the name never starts with "." (a file manager
// would hide it, and the clean-up of work files could take it), and it fits
// the 255 bytes a file name may have, the base cut on a character boundary
// (the store keeps the whole title).
#include <QString>

namespace quorvel {

class RingtoneFileName {
public:
    static constexpr int kMaxBytes = 255;

    // The base for a working file name such as "Bells.m4r".
    static QString baseOf(const QString& workingFileName);
    // base + "-" + counter + ".m4r", the base shortened until the name fits.
    static QString withCounter(const QString& base, qint32 counter);

    RingtoneFileName() = delete;
};

} // namespace quorvel
