#pragma once
// The arithmetic that ties the editor's slider values (seconds, floats) to the
// waveform strip's geometry, media time ranges, label texts and the fade
// envelope. Class operations only; the float and double steps are exact, so
// positions and ranges match to the bit.
//
// Thread safety: main thread only (lastStartPoint is shared state).
#include "platform/core/CMTime.h"
#include "platform/media/AVAudioMix.h"
#include "platform/media/AVURLAsset.h"

#include <QRectF>
#include <QString>
#include <memory>

namespace quorvel {

// Where the segment marker and the cursor sit over the waveform strip, and
// which rectangle of the strip's content is scrolled into view.
struct WaveLayout {
    QRectF rangeFrame;
    QRectF cursorFrame;
    QRectF visibleRect;
};

class GenericHelper {
public:
    static constexpr double kPointsPerSecond = 6.75;
    static constexpr double kRightAnchor = 270.0;
    static constexpr double kVisibleWidth = 290.0;
    static constexpr double kStripHeight = 79.0;
    static constexpr double kOverlayHeight = 81.0;
    static constexpr double kCursorWidth = 3.0;

    // x of the segment start in the visible window; remembers its result.
    static float rangeStartPoint(float start, float range);
    // The marker spans the segment, the cursor sits at its start, and the
    // strip scrolls so that the segment's end is at the anchor (or to 0).
    static WaveLayout slideRangeOnWave(float start, float range);
    // The same scroll, with the marker always over the audio it selects
    // (the strip showing the song's own waveform): when the segment's end
    // lies beyond the anchor, the marker's end sits at the anchor, also when
    // the segment has just grown. Remembers the marker's x as
    // rangeStartPoint() does, so the cursor operations agree with it.
    static WaveLayout slideRangeOverSong(float start, float range);
    // The cursor at rest at the segment start.
    static QRectF cursorPoint(float start, float range);
    // x of the play cursor for player time t.
    static float playingCursorPoint(float playerTime, float start, float range, float speed, bool isRecorded);
    // "%02d:%02d.%d" with minutes, "%02d.%1d" without (minutes dropped),
    // rounded to the nearest tenth: the controls step in tenths, and a float
    // sum of tenths lies just below or above the tenth it means.
    static QString timeToString(float seconds, bool withMinutes);
    // The segment in milliseconds, start and length rounded to the tenth
    // (what the labels show); at most 39,900 ms long.
    static CMTimeRange playerItemTimeRange(float start, float range);
    // The segment after time stretching (tenths of a second), at most 39.9 s.
    static CMTimeRange timeRangeForSpeed(float speedPosition, const CMTimeRange& range, float length);
    // Volume 0 at time zero, a ramp up over the fade-in and down over the
    // fade-out; attached to the item and returned. Nil without an item or tracks.
    static std::shared_ptr<AVAudioMix> fadeInAndOut(const std::shared_ptr<AVPlayerItem>& playerItem, float fadeIn,
                                                    float fadeOut, const CMTimeRange& range, float speedPosition);

    // `seconds` rounded to the nearest tenth of a second.
    static float roundedToTenth(double seconds);

    static float lastStartPoint();
    static void setLastStartPoint(float value);

    GenericHelper() = delete;
};

} // namespace quorvel
