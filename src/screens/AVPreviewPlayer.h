#pragma once
// The editor's preview player on the platform's AVPlayer (SDL2 output): the
// forward end time goes to the current item, and the end of an item is heard
// through the default notification centre (a failed item ends too, so the
// editor never waits for an end that cannot come).
//
// Thread safety: main thread only.
#include "screens/PreviewPlayer.h"

#include <map>
#include <memory>

namespace quorvel {

class AVPlayer;

class AVPreviewPlayer : public PreviewPlayer {
public:
    AVPreviewPlayer();
    ~AVPreviewPlayer() override;

    void replaceCurrentItemWithPlayerItem(std::shared_ptr<AVPlayerItem> item) override;
    std::shared_ptr<AVPlayerItem> currentItem() const override;
    void play() override;
    void pause() override;
    float rate() const override;
    Status status() const override;
    void seekToTime(const CMTime& time) override;
    void setForwardPlaybackEndTime(const CMTime& time) override;
    ObserverToken addPeriodicTimeObserverForInterval(const CMTime& interval,
                                                     std::function<void(const CMTime&)> block) override;
    void removeTimeObserver(ObserverToken token) override;
    ObserverToken addEndOfItemObserver(const std::shared_ptr<AVPlayerItem>& item,
                                       std::function<void()> handler) override;
    void removeEndOfItemObserver(ObserverToken token) override;

    AVPreviewPlayer(const AVPreviewPlayer&) = delete;
    AVPreviewPlayer& operator=(const AVPreviewPlayer&) = delete;

private:
    std::unique_ptr<AVPlayer> player_;
    // Our token -> the notification centre's tokens (played to the end, failed).
    std::map<ObserverToken, std::pair<uint64_t, uint64_t>> endObservers_;
    ObserverToken nextEndToken_ = 1;
};

} // namespace quorvel
