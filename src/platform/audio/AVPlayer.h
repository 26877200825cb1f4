#pragma once
// A player of one item at a time (AVPlayerItem, in the media library). The
// item's audio opens when it becomes the current item: status() is then
// ready-to-play, or failed with error() saying why. play() starts at the
// item's position and stops at its forward playback end time (or the end of
// the media), where the item's end notification is posted. The item's audio
// mix is applied to what is heard, sample by sample, at each sample's media
// time.
//
// Periodic time observers run on the main thread at their interval while
// time moves (rate() is not 0).
//
// Thread safety: main thread only (as the items are). Decoding runs ahead on
// a worker of the player's own; a seek or a new item stops the old worker,
// which is never more than one packet's decoding from stopping.
#include "platform/core/CMTime.h"
#include "platform/core/NSError.h"
#include "platform/media/AVURLAsset.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace quorvel {

enum AVPlayerStatus {
    AVPlayerStatusUnknown = 0,
    AVPlayerStatusReadyToPlay = 1,
    AVPlayerStatusFailed = 2,
};

// Posted through the default notification centre with the item as sender.
extern const QString AVPlayerItemDidPlayToEndTimeNotification;
extern const QString AVPlayerItemFailedToPlayToEndTimeNotification;

class AVPlayer {
public:
    using TimeObserver = uint64_t;
    using TimeObserverBlock = std::function<void(const CMTime& time)>;

    static std::shared_ptr<AVPlayer> playerWithPlayerItem(std::shared_ptr<AVPlayerItem> item);
    explicit AVPlayer(std::shared_ptr<AVPlayerItem> item = nullptr);
    ~AVPlayer();

    // A playing player goes on playing with the new item (from its position).
    void replaceCurrentItemWithPlayerItem(std::shared_ptr<AVPlayerItem> item);
    const std::shared_ptr<AVPlayerItem>& currentItem() const;

    void play();
    void pause();
    // 1.0 while playing, 0.0 otherwise.
    float rate() const;
    AVPlayerStatus status() const;
    const NSError& error() const;

    // Seeks the current item.
    void seekToTime(const CMTime& time);
    CMTime currentTime() const;

    // Runs `block` with the current time every `interval` on the main thread
    // while time moves. The token removes it.
    TimeObserver addPeriodicTimeObserverForInterval(const CMTime& interval, TimeObserverBlock block);
    void removeTimeObserver(TimeObserver observer);

    AVPlayer(const AVPlayer&) = delete;
    AVPlayer& operator=(const AVPlayer&) = delete;

private:
    class Impl;
    std::shared_ptr<Impl> d;
};

} // namespace quorvel
