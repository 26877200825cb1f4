#pragma once
// Media time: a 64-bit value over a 32-bit time scale with flags and an epoch,
// and a range of two of them. Conversions from seconds round to the nearest
// value at the time scale, as the platform does.
#include <QString>
#include <cstdint>

namespace quorvel {

using CMTimeValue = int64_t;
using CMTimeScale = int32_t;
using CMTimeEpoch = int64_t;

enum CMTimeFlags : uint32_t {
    kCMTimeFlags_Valid = 1u << 0,
    kCMTimeFlags_HasBeenRounded = 1u << 1,
    kCMTimeFlags_PositiveInfinity = 1u << 2,
    kCMTimeFlags_NegativeInfinity = 1u << 3,
    kCMTimeFlags_Indefinite = 1u << 4,
};

struct CMTime {
    CMTimeValue value = 0;
    CMTimeScale timescale = 0;
    uint32_t flags = 0;
    CMTimeEpoch epoch = 0;

    bool isValid() const { return flags & kCMTimeFlags_Valid; }
    bool isNumeric() const;
    QString description() const;
};

struct CMTimeRange {
    CMTime start;
    CMTime duration;

    // Valid when start and duration carry the valid flag, the duration's epoch
    // is 0 and its value is not negative.
    bool isValid() const;
    CMTime end() const;
    QString description() const;
};

extern const CMTime kCMTimeZero;
extern const CMTime kCMTimeInvalid;
extern const CMTimeRange kCMTimeRangeInvalid;

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);
CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale preferredTimescale);
double CMTimeGetSeconds(const CMTime& time);
// Sum with the platform's rules: when the scales differ the larger one is
// used, and the result is rounded if needed.
CMTime CMTimeAdd(const CMTime& a, const CMTime& b);
CMTime CMTimeSubtract(const CMTime& a, const CMTime& b);
// -1, 0 or 1; invalid times sort before valid ones.
int CMTimeCompare(const CMTime& a, const CMTime& b);
CMTimeRange CMTimeRangeMake(const CMTime& start, const CMTime& duration);

QString describe(const CMTime& t);
QString describe(const CMTimeRange& r);

} // namespace quorvel
