#pragma once
// The player screen's file player on the sound device: AVAudioPlayer, told
// only to play and to stop, its end reported through the finish handler.
#include "platform/audio/AVAudioPlayer.h"
#include "screens/RingtoneFilePlayer.h"

namespace quorvel {

class AVAudioFilePlayer : public RingtoneFilePlayer, private AVAudioPlayerDelegate {
public:
    // The factory the program gives the list and the player.
    static RingtoneFilePlayerFactory factory();

    explicit AVAudioFilePlayer(std::shared_ptr<AVAudioPlayer> player);
    ~AVAudioFilePlayer() override;

    bool play() override { return player_->play(); }
    void stop() override { player_->stop(); }
    float rate() const override { return player_->rate(); }
    void setFinishHandler(FinishHandler handler) override { finish_ = std::move(handler); }

private:
    void audioPlayerDidFinishPlaying(AVAudioPlayer* player, bool successfully) override;

    std::shared_ptr<AVAudioPlayer> player_;
    FinishHandler finish_;
};

} // namespace quorvel
