#include "screens/AVAudioFilePlayer.h"

namespace quorvel {

RingtoneFilePlayerFactory AVAudioFilePlayer::factory() {
    return [](const QUrl& url, NSError* error) -> std::unique_ptr<RingtoneFilePlayer> {
        auto player = AVAudioPlayer::initWithContentsOfURL(url, error);
        if (!player) return nullptr;
        return std::make_unique<AVAudioFilePlayer>(std::move(player));
    };
}

AVAudioFilePlayer::AVAudioFilePlayer(std::shared_ptr<AVAudioPlayer> player) : player_(std::move(player)) {
    player_->setDelegate(this);
}

AVAudioFilePlayer::~AVAudioFilePlayer() {
    player_->setDelegate(nullptr);
    player_->stop();
}

void AVAudioFilePlayer::audioPlayerDidFinishPlaying(AVAudioPlayer*, bool successfully) {
    // The handler may drop this player: keep what it calls alive.
    FinishHandler handler = finish_;
    if (handler) handler(successfully);
}

} // namespace quorvel
