#include "platform/audio/AVPlayer.h"

#include "platform/audio/AudioOutput.h"
#include "platform/audio/PlaybackStream.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSTimer.h"
#include "platform/core/NotificationCenter.h"

#include <cmath>
#include <map>

namespace quorvel {

const QString AVPlayerItemDidPlayToEndTimeNotification = QStringLiteral("AVPlayerItemDidPlayToEndTimeNotification");
const QString AVPlayerItemFailedToPlayToEndTimeNotification =
    QStringLiteral("AVPlayerItemFailedToPlayToEndTimeNotification");

class AVPlayer::Impl : public AVPlayerItem::Host, public std::enable_shared_from_this<Impl> {
public:
    std::shared_ptr<AVPlayerItem> item;
    std::unique_ptr<PlaybackStream> stream;
    uint64_t streamGeneration = 0;
    CMTime pending = kCMTimeZero; // where the next stream starts when there is none
    AVPlayerStatus status = AVPlayerStatusUnknown;
    NSError error;
    bool playing = false;

    struct Observer {
        double interval = 0.2;
        TimeObserverBlock block;
        std::shared_ptr<NSTimer> timer;
    };
    std::map<TimeObserver, Observer> observers;
    TimeObserver nextObserver = 1;

    CMTime position() const { return stream ? stream->position() : pending; }

    void setItem(std::shared_ptr<AVPlayerItem> next) {
        const CMTime left = position();
        // The rate carries over: a playing player plays the new item.
        const bool wasPlaying = playing;
        stopPlaying();
        dropStream();
        if (item) item->hostDidLeave(this, left);
        item = std::move(next);
        status = AVPlayerStatusUnknown;
        error = {};
        if (!item) return;
        pending = item->currentTime();
        item->setHost(this);
        NSError failure;
        if (openStream(&failure)) {
            status = AVPlayerStatusReadyToPlay;
            if (wasPlaying) play();
        } else {
            status = AVPlayerStatusFailed;
            error = failure;
        }
    }

    bool openStream(NSError* failure) {
        const QString path = item->asset() ? item->asset()->filePath() : QString();
        if (path.isEmpty()) {
            *failure = NSError{QStringLiteral("AVFoundationErrorDomain"), -11800,
                               QStringLiteral("The item's asset names no local file"), {}};
            return false;
        }
        PlaybackStream::Span span{path, pending, item->forwardPlaybackEndTime(), item->audioMix()};
        stream = PlaybackStream::open(span, failure);
        if (!stream) return false;
        const uint64_t generation = ++streamGeneration;
        std::weak_ptr<Impl> weak = weak_from_this();
        // Queued, so that whoever hears the end may drop this player.
        stream->setFinishHandler([weak, generation] {
            performOnMainThread([weak, generation] {
                if (auto self = weak.lock()) self->didFinish(generation);
            });
        });
        return true;
    }

    void dropStream() {
        if (!stream) return;
        AudioOutput::sharedInstance().detach(stream.get());
        pending = stream->position();
        stream.reset();
    }

    void play() {
        if (!item || status != AVPlayerStatusReadyToPlay || playing) return;
        const bool reusable = stream && !stream->isFinished() && stream->span().mix == item->audioMix();
        if (!reusable) {
            dropStream();
            NSError failure;
            if (!openStream(&failure)) {
                status = AVPlayerStatusFailed;
                error = failure;
                NSLog("AVPlayer: %@", failure.localizedDescription);
                return;
            }
        }
        QString why;
        if (!AudioOutput::sharedInstance().attach(stream.get(), &why)) {
            NSLog("AVPlayer: %@", why);
            return;
        }
        playing = true;
        for (auto& [token, observer] : observers) schedule(token, observer);
    }

    void stopPlaying() {
        if (!playing) return;
        playing = false;
        if (stream) AudioOutput::sharedInstance().detach(stream.get());
        for (auto& [token, observer] : observers) unschedule(observer);
    }

    void didFinish(uint64_t generation) {
        if (generation != streamGeneration || !playing || !stream) return;
        stopPlaying();
        const bool failed = stream->hasFailed();
        if (failed) NSLog("AVPlayer: %@", stream->error().localizedDescription);
        // Last: an observer may drop the player.
        std::shared_ptr<AVPlayerItem> finishedItem = item;
        NotificationCenter::defaultCenter().postNotificationName(
            failed ? AVPlayerItemFailedToPlayToEndTimeNotification : AVPlayerItemDidPlayToEndTimeNotification,
            finishedItem.get());
    }

    void schedule(TimeObserver token, Observer& observer) {
        if (observer.timer) return;
        std::weak_ptr<Impl> weak = weak_from_this();
        observer.timer = NSTimer::scheduledTimerWithTimeInterval(
            observer.interval,
            [weak, token](NSTimer*) {
                if (auto self = weak.lock()) self->fire(token);
            },
            {}, true);
    }

    static void unschedule(Observer& observer) {
        if (observer.timer) observer.timer->invalidate();
        observer.timer.reset();
    }

    void fire(TimeObserver token) {
        auto it = observers.find(token);
        if (it == observers.end() || !playing) return;
        TimeObserverBlock block = it->second.block; // the block may remove itself
        block(position());
    }

    void shutdown() {
        const CMTime left = position();
        stopPlaying();
        dropStream();
        if (item) item->hostDidLeave(this, left);
        for (auto& [token, observer] : observers) unschedule(observer);
        observers.clear();
    }

    // AVPlayerItem::Host
    CMTime playerItemCurrentTime(const AVPlayerItem&) const override { return position(); }

    void playerItemDidSeek(AVPlayerItem& seeked) override {
        const bool wasPlaying = playing;
        if (wasPlaying) AudioOutput::sharedInstance().detach(stream.get());
        playing = false;
        dropStream();
        pending = seeked.seekPosition();
        if (wasPlaying) {
            // Keep the observers' timers running across the jump.
            NSError failure;
            QString why;
            if (openStream(&failure) && AudioOutput::sharedInstance().attach(stream.get(), &why)) {
                playing = true;
                return;
            }
            NSLog("AVPlayer: %@", failure.localizedDescription.isEmpty() ? why : failure.localizedDescription);
            for (auto& [token, observer] : observers) unschedule(observer);
        }
    }

    void playerItemEndTimeChanged(AVPlayerItem& changed) override {
        if (stream) stream->setEndTime(changed.forwardPlaybackEndTime());
    }
};

std::shared_ptr<AVPlayer> AVPlayer::playerWithPlayerItem(std::shared_ptr<AVPlayerItem> item) {
    return std::make_shared<AVPlayer>(std::move(item));
}

AVPlayer::AVPlayer(std::shared_ptr<AVPlayerItem> item) : d(std::make_shared<Impl>()) {
    if (item) d->setItem(std::move(item));
}

AVPlayer::~AVPlayer() { d->shutdown(); }

void AVPlayer::replaceCurrentItemWithPlayerItem(std::shared_ptr<AVPlayerItem> item) { d->setItem(std::move(item)); }

const std::shared_ptr<AVPlayerItem>& AVPlayer::currentItem() const { return d->item; }

void AVPlayer::play() { d->play(); }

void AVPlayer::pause() { d->stopPlaying(); }

float AVPlayer::rate() const { return d->playing ? 1.0f : 0.0f; }

AVPlayerStatus AVPlayer::status() const { return d->status; }

const NSError& AVPlayer::error() const { return d->error; }

void AVPlayer::seekToTime(const CMTime& time) {
    if (d->item) d->item->seekToTime(time);
}

CMTime AVPlayer::currentTime() const { return d->position(); }

AVPlayer::TimeObserver AVPlayer::addPeriodicTimeObserverForInterval(const CMTime& interval, TimeObserverBlock block) {
    const double seconds = CMTimeGetSeconds(interval);
    Impl::Observer observer;
    observer.interval = (std::isfinite(seconds) && seconds > 0.001) ? seconds : 0.2;
    observer.block = std::move(block);
    const TimeObserver token = d->nextObserver++;
    auto& added = d->observers.emplace(token, std::move(observer)).first->second;
    if (d->playing) d->schedule(token, added);
    return token;
}

void AVPlayer::removeTimeObserver(TimeObserver observer) {
    auto it = d->observers.find(observer);
    if (it == d->observers.end()) return;
    Impl::unschedule(it->second);
    d->observers.erase(it);
}

} // namespace quorvel
