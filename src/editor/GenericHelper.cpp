#include "GenericHelper.h"

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

QRectF GenericHelper::cursorPoint(float start, float range) {
    return QRectF(rangeStartPoint(start, range), 0, kCursorWidth, kOverlayHeight);
}

float GenericHelper::playingCursorPoint(float playerTime, float start, float range, float speed, bool isRecorded) {
    const float k = float(kPointsPerSecond) / speed;
    const float x0 = rangeStartPoint(start, range);
    return isRecorded ? x0 + (playerTime - start) * k : x0 + k * playerTime;
}

QString GenericHelper::timeToString(float seconds, bool withMinutes) {
    const float q = seconds / 60.0f;
    const int m = int(q);
    const float u = (q - float(m)) * 60.0f;
    const int sec = int(u);
    const int tenth = int((u - float(sec)) * 10.0f);
    char buf[64];
    if (withMinutes)
        std::snprintf(buf, sizeof buf, "%02d:%02d.%d", m, sec, tenth);
    else
        std::snprintf(buf, sizeof buf, "%02d.%1d", sec, tenth);
    return QString::fromLatin1(buf);
}

CMTimeRange GenericHelper::playerItemTimeRange(float start, float range) {
    // Never more than 39.9 s: a length between 39.9 and 40 is cut at 39.9 too.
    const int64_t durationMs = range >= 40.0f ? 39900 : std::min<int64_t>(39900, int64_t(double(range) * 1000.0));
    const int64_t startMs = int64_t(double(start) * 1000.0);
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
