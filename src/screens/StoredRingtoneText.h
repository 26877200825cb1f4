#pragma once
// The texts a stored ringtone shows on the list and the player: its title
// with the sequence number ("Bells-2") and its length as the stored number's
// own decimal text ("29.5"), which is shown only from one whole second up.
#include <QString>

namespace quorvel {

class Ringtone;

class StoredRingtoneText {
public:
    static QString titleWithCounter(const Ringtone& ringtone);
    // Empty when the length is hidden.
    static QString durationText(const Ringtone& ringtone);
    static bool isDurationShown(const Ringtone& ringtone);
};

} // namespace quorvel
