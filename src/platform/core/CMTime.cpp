#include "platform/core/CMTime.h"

#include <cmath>
#include <limits>
#include <numeric>

namespace quorvel {

const CMTime kCMTimeZero{0, 1, kCMTimeFlags_Valid, 0};
const CMTime kCMTimeInvalid{0, 0, 0, 0};
const CMTimeRange kCMTimeRangeInvalid{kCMTimeInvalid, kCMTimeInvalid};

bool CMTime::isNumeric() const {
    return isValid() && !(flags & (kCMTimeFlags_PositiveInfinity | kCMTimeFlags_NegativeInfinity |
                                   kCMTimeFlags_Indefinite));
}

QString CMTime::description() const {
    if (!isValid()) return QStringLiteral("{INVALID}");
    return QStringLiteral("{%1/%2 = %3}").arg(value).arg(timescale).arg(CMTimeGetSeconds(*this), 0, 'f', 3);
}

bool CMTimeRange::isValid() const {
    return start.isValid() && duration.isValid() && duration.epoch == 0 && duration.value >= 0;
}

CMTime CMTimeRange::end() const { return CMTimeAdd(start, duration); }

QString CMTimeRange::description() const {
    if (!isValid()) return QStringLiteral("{INVALID}");
    return QStringLiteral("{start %1, duration %2}").arg(start.description(), duration.description());
}

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
    if (timescale <= 0) return kCMTimeInvalid;
    return CMTime{value, timescale, kCMTimeFlags_Valid, 0};
}

CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale preferredTimescale) {
    if (std::isnan(seconds) || preferredTimescale <= 0) return kCMTimeInvalid;
    if (std::isinf(seconds)) {
        CMTime t{0, preferredTimescale, kCMTimeFlags_Valid, 0};
        t.flags |= seconds > 0 ? kCMTimeFlags_PositiveInfinity : kCMTimeFlags_NegativeInfinity;
        return t;
    }
    const double scaled = seconds * double(preferredTimescale);
    const double rounded = std::round(scaled); // nearest, halves away from zero
    if (std::fabs(rounded) >= 9.2e18) {
        CMTime t{0, preferredTimescale, kCMTimeFlags_Valid, 0};
        t.flags |= rounded > 0 ? kCMTimeFlags_PositiveInfinity : kCMTimeFlags_NegativeInfinity;
        return t;
    }
    CMTime t{CMTimeValue(rounded), preferredTimescale, kCMTimeFlags_Valid, 0};
    if (rounded != scaled) t.flags |= kCMTimeFlags_HasBeenRounded;
    return t;
}

double CMTimeGetSeconds(const CMTime& time) {
    if (!time.isValid()) return std::numeric_limits<double>::quiet_NaN();
    if (time.flags & kCMTimeFlags_PositiveInfinity) return std::numeric_limits<double>::infinity();
    if (time.flags & kCMTimeFlags_NegativeInfinity) return -std::numeric_limits<double>::infinity();
    if (time.flags & kCMTimeFlags_Indefinite) return std::numeric_limits<double>::quiet_NaN();
    return double(time.value) / double(time.timescale);
}

namespace {
CMTime combine(const CMTime& a, const CMTime& b, int sign) {
    if (!a.isValid() || !b.isValid()) return kCMTimeInvalid;
    if (!a.isNumeric() || !b.isNumeric()) {
        CMTime t = a.isNumeric() ? b : a;
        return t;
    }
    if (a.timescale == b.timescale) {
        CMTime t{a.value + sign * b.value, a.timescale, kCMTimeFlags_Valid, a.epoch};
        return t;
    }
    // Bring both to a common scale when it fits, else to the larger one with rounding.
    const long long lcm = std::lcm<long long>(a.timescale, b.timescale);
    if (lcm <= std::numeric_limits<CMTimeScale>::max()) {
        CMTime t{a.value * (lcm / a.timescale) + sign * b.value * (lcm / b.timescale), CMTimeScale(lcm),
                 kCMTimeFlags_Valid, a.epoch};
        return t;
    }
    const CMTimeScale scale = std::max(a.timescale, b.timescale);
    CMTime t = CMTimeMakeWithSeconds(CMTimeGetSeconds(a) + sign * CMTimeGetSeconds(b), scale);
    t.epoch = a.epoch;
    return t;
}
} // namespace

CMTime CMTimeAdd(const CMTime& a, const CMTime& b) { return combine(a, b, 1); }
CMTime CMTimeSubtract(const CMTime& a, const CMTime& b) { return combine(a, b, -1); }

int CMTimeCompare(const CMTime& a, const CMTime& b) {
    if (!a.isValid() || !b.isValid()) return a.isValid() == b.isValid() ? 0 : (a.isValid() ? 1 : -1);
    if (a.epoch != b.epoch) return a.epoch < b.epoch ? -1 : 1;
    // Cross-multiplication in 128 bits keeps exactness.
    const __int128 l = (__int128)a.value * b.timescale;
    const __int128 r = (__int128)b.value * a.timescale;
    return l < r ? -1 : (l > r ? 1 : 0);
}

CMTimeRange CMTimeRangeMake(const CMTime& start, const CMTime& duration) { return CMTimeRange{start, duration}; }


QString describe(const CMTime& t) { return t.description(); }
QString describe(const CMTimeRange& r) { return r.description(); }

} // namespace quorvel
