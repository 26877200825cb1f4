#pragma once
// What the editor needs from a player to preview the processed segment: one
// current item, play and pause, seeking and a forward end time on the current
// item, a periodic time observer and the end-of-item observation. The
// platform's player plugs in behind this interface; the editor owns its one
// instance.
//
// Thread safety: main thread only. Observers are called on the main thread.
#include "platform/core/CMTime.h"
#include "platform/media/AVURLAsset.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace quorvel {

class PreviewPlayer {
public:
    // The platform's numbering.
    enum class Status { Unknown = 0, ReadyToPlay = 1, Failed = 2 };
    using ObserverToken = uint64_t;

    virtual ~PreviewPlayer() = default;

    virtual void replaceCurrentItemWithPlayerItem(std::shared_ptr<AVPlayerItem> item) = 0;
    virtual std::shared_ptr<AVPlayerItem> currentItem() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    // 0 while not playing.
    virtual float rate() const = 0;
    virtual Status status() const = 0;

    // Both act on the current item.
    virtual void seekToTime(const CMTime& time) = 0;
    virtual void setForwardPlaybackEndTime(const CMTime& time) = 0;

    // `block` gets the player's time every `interval` while that time moves.
    virtual ObserverToken addPeriodicTimeObserverForInterval(const CMTime& interval,
                                                             std::function<void(const CMTime&)> block) = 0;
    virtual void removeTimeObserver(ObserverToken token) = 0;
    // `handler` runs when `item` has played to its end (or to its forward end time).
    virtual ObserverToken addEndOfItemObserver(const std::shared_ptr<AVPlayerItem>& item,
                                               std::function<void()> handler) = 0;
    virtual void removeEndOfItemObserver(ObserverToken token) = 0;
};

} // namespace quorvel
