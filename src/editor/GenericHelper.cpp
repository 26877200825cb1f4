#include "editor/GenericHelper.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>

namespace quorvel {

namespace {
float gLastStartPoint = 0.0f;
}

float GenericHelper::lastStartPoint() { return gLastStartPoint; }
void GenericHelper::setLastStartPoint(float value) { gLastStartPoint = value; }

float GenericHelper::rangeStartPoint(float start, float range) {
    const float end = start + range; // the sum in float, then widened
    const double E = double(end) * kPointsPerSecond;
    const double X = double(start) * kPointsPerSecond;
    double result;
    if (E <= kRightAnchor) {
        result = X;
    } else {
        const double L = double(gLastStartPoint);
        result = X <= L ? L - (L - X) : kRightAnchor - double(range) * kPointsPerSecond;
    }
    gLastStartPoint = float(result);
    return gLastStartPoint;
}

WaveLayout GenericHelper::slideRangeOnWave(float start, float range) {
    const float end = start + range;
    const float offset = float(double(end) * kPointsPerSecond - kRightAnchor);
    const float width = range * float(kPointsPerSecond);
    const float x = rangeStartPoint(start, range);
    WaveLayout layout;
    layout.rangeFrame = QRectF(x, 0, width, kOverlayHeight);
    layout.cursorFrame = QRectF(x, 0, kCursorWidth, kOverlayHeight);
    layout.visibleRect = QRectF(offset < 0 ? 0.0f : offset, 0, kVisibleWidth, kStripHeight);
    return layout;
}

WaveLayout GenericHelper::slideRangeOverSong(float start, float range) {
    const float end = start + range;
    const double E = double(end) * kPointsPerSecond;
    const float offset = float(E - kRightAnchor);
    const float x = float(E <= kRightAnchor ? double(start) * kPointsPerSecond
                                            : kRightAnchor - double(range) * kPointsPerSecond);
    gLastStartPoint = x;
    WaveLayout layout;
    layout.rangeFrame = QRectF(x, 0, range * float(kPointsPerSecond), kOverlayHeight);
    layout.cursorFrame = QRectF(x, 0, kCursorWidth, kOverlayHeight);
    layout.visibleRect = QRectF(offset < 0 ? 0.0f : offset, 0, kVisibleWidth, kStripHeight);
    return layout;
}

QRectF GenericHelper::cursorPoint(float start, float range) {
    return QRectF(rangeStartPoint(start, range), 0, kCursorWidth, kOverlayHeight);
}

float GenericHelper::playingCursorPoint(float playerTime, float start, float range, float speed, bool isRecorded) {
    const float k = float(kPointsPerSecond) / speed;
    const float x0 = rangeStartPoint(start, range);
    return isRecorded ? x0 + (playerTime - start) * k : x0 + k * playerTime;
}

float GenericHelper::roundedToTenth(double seconds) { return float(std::round(seconds * 10.0) / 10.0); }

QString GenericHelper::timeToString(float seconds, bool withMinutes) {
    const long long tenths = std::max(0LL, std::llround(double(seconds) * 10.0));
    const long long m = tenths / 600;
    const int sec = int(tenths / 10 % 60);
    const int tenth = int(tenths % 10);
    char buf[64];
    if (withMinutes)
        std::snprintf(buf, sizeof buf, "%02lld:%02d.%d", m, sec, tenth);
    else
        std::snprintf(buf, sizeof buf, "%02d.%1d", sec, tenth);
    return QString::fromLatin1(buf);
}

CMTimeRange GenericHelper::playerItemTimeRange(float start, float range) {
    const auto tenthsInMs = [](float seconds) { return int64_t(std::llround(double(seconds) * 10.0)) * 100; };
    const int64_t durationMs = range >= 40.0f ? 39900 : std::min<int64_t>(39900, tenthsInMs(range));
    const int64_t startMs = std::max<int64_t>(0, tenthsInMs(start));
    return CMTimeRangeMake(CMTimeMake(startMs, 1000), CMTimeMake(durationMs, 1000));
}

CMTimeRange GenericHelper::timeRangeForSpeed(float speedPosition, const CMTimeRange& range, float length) {
    const float d = float(double(length) * std::pow(2.0, double(speedPosition) * 0.5));
    CMTime duration = d < 40.0f ? CMTimeMakeWithSeconds(double(d), 10) : CMTimeMakeWithSeconds(39.9, 10);
    // Rounded to the tenth, a length just under 40 s becomes 40.0: the cap holds after the rounding.
    if (CMTimeGetSeconds(duration) > 39.9) duration = CMTimeMakeWithSeconds(39.9, 10);
    const CMTime start = range.isValid() ? range.start : kCMTimeZero;
    return CMTimeRangeMake(start, duration);
}

std::shared_ptr<AVAudioMix> GenericHelper::fadeInAndOut(const std::shared_ptr<AVPlayerItem>& playerItem, float fadeIn,
                                                        float fadeOut, const CMTimeRange& range, float) {
    if (!playerItem) return nullptr;
    const auto tracks = playerItem->tracks();
    if (tracks.empty()) return nullptr;

    const float D = float(CMTimeGetSeconds(range.duration));
    // A segment shorter than a second has no room for shortened fades: none.
    if (!(D - (fadeIn + fadeOut) > 0)) fadeIn = fadeOut = std::max(0.0f, (D - 1.0f) * 0.5f);

    const CMTime end = CMTimeAdd(range.start, range.duration);
    const CMTimeRange fadeInRange = CMTimeRangeMake(range.start, CMTimeMakeWithSeconds(double(fadeIn), 10));
    const CMTimeRange fadeOutRange = CMTimeRangeMake(CMTimeSubtract(end, CMTimeMakeWithSeconds(double(fadeOut), 10)),
                                                     CMTimeMakeWithSeconds(double(fadeOut), 10));

    auto parameters = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(tracks.front().trackID);
    parameters->setVolume(0.0f, kCMTimeZero);
    parameters->setVolumeRamp(0.0f, 1.0f, fadeInRange);
    parameters->setVolumeRamp(1.0f, 0.0f, fadeOutRange);

    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({parameters});
    playerItem->setAudioMix(mix);
    return mix;
}

} // namespace quorvel
