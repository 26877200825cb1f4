#pragma once
// Plays one audio file from its start to its end and tells its delegate when
// it is done. Made from the file's URL; a file that is missing or holds no
// readable audio gives no player and an error that says why.
//
// Thread safety: main thread only; the delegate is called on the main thread,
// from the event loop, and may drop the player.
#include "platform/core/NSError.h"

#include <QUrl>
#include <memory>

namespace quorvel {

class AVAudioPlayer;

class AVAudioPlayerDelegate {
public:
    virtual ~AVAudioPlayerDelegate() = default;
    // `successfully` is false when decoding failed before the end.
    virtual void audioPlayerDidFinishPlaying(AVAudioPlayer* player, bool successfully) = 0;
};

class AVAudioPlayer {
public:
    static std::shared_ptr<AVAudioPlayer> initWithContentsOfURL(const QUrl& url, NSError* error);
    ~AVAudioPlayer();

    // Starts (or resumes) playing; false when no output can play it.
    bool play();
    // Stops; play() resumes where it stopped.
    void stop();
    bool isPlaying() const;
    // The playback rate setting: 1.0, whether playing or not.
    float rate() const { return 1.0f; }
    // Seconds from the file's start of the next sample to be heard.
    double currentTime() const;
    const QUrl& url() const;

    // Not retained: clear it before the delegate goes away.
    void setDelegate(AVAudioPlayerDelegate* delegate);
    AVAudioPlayerDelegate* delegate() const;

    AVAudioPlayer(const AVAudioPlayer&) = delete;
    AVAudioPlayer& operator=(const AVAudioPlayer&) = delete;

private:
    class Impl;
    AVAudioPlayer();
    std::shared_ptr<Impl> d;
};

} // namespace quorvel
