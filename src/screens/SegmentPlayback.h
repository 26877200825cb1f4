#pragma once
// The processed segment as both a preview and an export use it: the item of
// the processed file with the fade envelope attached, and the stretched
// range R. A preview seeks to R's start and stops at its end; an export cuts
// R with the same envelope.
#include "platform/core/CMTime.h"
#include "platform/media/AVAudioMix.h"
#include "platform/media/AVURLAsset.h"

#include <memory>

namespace quorvel {

struct SegmentPlayback {
    std::shared_ptr<AVPlayerItem> item;
    CMTimeRange range = kCMTimeRangeInvalid;
    std::shared_ptr<AVAudioMix> audioMix;

    CMTime seekTime() const { return range.start; }
    CMTime forwardPlaybackEndTime() const { return CMTimeAdd(range.start, range.duration); }
    // The play cursor moves five times a second.
    static CMTime periodicInterval() { return CMTimeMake(1, 5); }
};

} // namespace quorvel
