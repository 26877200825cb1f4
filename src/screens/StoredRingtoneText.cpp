#include "screens/StoredRingtoneText.h"

#include "ringtones/Ringtone.h"

namespace quorvel {

QString StoredRingtoneText::titleWithCounter(const Ringtone& ringtone) {
    // A row without a counter (never written by this program) reads as 0, like a found file.
    return ringtone.title() + QStringLiteral("-") + QString::number(ringtone.counter().value_or(0));
}

bool StoredRingtoneText::isDurationShown(const Ringtone& ringtone) {
    const auto duration = ringtone.duration();
    return duration && static_cast<long long>(*duration) != 0;
}

QString StoredRingtoneText::durationText(const Ringtone& ringtone) {
    if (!isDurationShown(ringtone)) return {};
    // The float's own shortest text: 29.5 stays 29.5, 12.3 is not 12.30000019.
    return QString::number(double(*ringtone.duration()), 'g', 7);
}

} // namespace quorvel
