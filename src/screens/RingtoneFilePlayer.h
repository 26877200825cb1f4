#pragma once
// What the player screen needs of a file player: made from a file's location,
// told only to play and to stop, and telling when playback has finished.
// The program's one is AVAudioPlayer on the sound device; tests bring their own.
//
// Main thread only; the finish handler runs on the main thread from the event
// loop and may drop the player.
#include "platform/core/NSError.h"

#include <QUrl>
#include <functional>
#include <memory>

namespace quorvel {

class RingtoneFilePlayer {
public:
    using FinishHandler = std::function<void(bool successfully)>;

    virtual ~RingtoneFilePlayer() = default;
    virtual bool play() = 0;
    virtual void stop() = 0;
    // Playback rate: not 0 while the player may be playing.
    virtual float rate() const = 0;
    // Replaces the handler; an empty one detaches the screen.
    virtual void setFinishHandler(FinishHandler handler) = 0;
};

// Makes a player for `url`; nullptr with `error` set when the file cannot be played.
using RingtoneFilePlayerFactory = std::function<std::unique_ptr<RingtoneFilePlayer>(const QUrl& url, NSError* error)>;

} // namespace quorvel
