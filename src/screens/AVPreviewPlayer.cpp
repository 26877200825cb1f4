#include "screens/AVPreviewPlayer.h"

#include "platform/audio/AVPlayer.h"
#include "platform/core/NotificationCenter.h"

namespace quorvel {

AVPreviewPlayer::AVPreviewPlayer() : player_(std::make_unique<AVPlayer>()) {}

AVPreviewPlayer::~AVPreviewPlayer() {
    // Observers left behind would call into whoever registered them.
    for (const auto& [token, ids] : endObservers_) {
        NotificationCenter::defaultCenter().removeObserver(ids.first);
        NotificationCenter::defaultCenter().removeObserver(ids.second);
    }
    player_->pause();
}

void AVPreviewPlayer::replaceCurrentItemWithPlayerItem(std::shared_ptr<AVPlayerItem> item) {
    player_->replaceCurrentItemWithPlayerItem(std::move(item));
}

std::shared_ptr<AVPlayerItem> AVPreviewPlayer::currentItem() const { return player_->currentItem(); }
void AVPreviewPlayer::play() { player_->play(); }
void AVPreviewPlayer::pause() { player_->pause(); }
float AVPreviewPlayer::rate() const { return player_->rate(); }

PreviewPlayer::Status AVPreviewPlayer::status() const {
    switch (player_->status()) {
    case AVPlayerStatusReadyToPlay:
        return Status::ReadyToPlay;
    case AVPlayerStatusFailed:
        return Status::Failed;
    case AVPlayerStatusUnknown:
        break;
    }
    return Status::Unknown;
}

void AVPreviewPlayer::seekToTime(const CMTime& time) { player_->seekToTime(time); }

void AVPreviewPlayer::setForwardPlaybackEndTime(const CMTime& time) {
    if (const auto& item = player_->currentItem()) item->setForwardPlaybackEndTime(time);
}

PreviewPlayer::ObserverToken AVPreviewPlayer::addPeriodicTimeObserverForInterval(
    const CMTime& interval, std::function<void(const CMTime&)> block) {
    return player_->addPeriodicTimeObserverForInterval(interval, std::move(block));
}

void AVPreviewPlayer::removeTimeObserver(ObserverToken token) { player_->removeTimeObserver(token); }

PreviewPlayer::ObserverToken AVPreviewPlayer::addEndOfItemObserver(const std::shared_ptr<AVPlayerItem>& item,
                                                                   std::function<void()> handler) {
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    auto onEnd = [shared](const QString&, NotificationCenter::Sender) { (*shared)(); };
    NotificationCenter& centre = NotificationCenter::defaultCenter();
    const uint64_t played = centre.addObserver(AVPlayerItemDidPlayToEndTimeNotification, item.get(), onEnd);
    const uint64_t failed = centre.addObserver(AVPlayerItemFailedToPlayToEndTimeNotification, item.get(), onEnd);
    const ObserverToken token = nextEndToken_++;
    endObservers_[token] = {played, failed};
    return token;
}

void AVPreviewPlayer::removeEndOfItemObserver(ObserverToken token) {
    const auto it = endObservers_.find(token);
    if (it == endObservers_.end()) return;
    NotificationCenter::defaultCenter().removeObserver(it->second.first);
    NotificationCenter::defaultCenter().removeObserver(it->second.second);
    endObservers_.erase(it);
}

} // namespace quorvel
