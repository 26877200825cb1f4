#pragma once
// A player for tests: it records what the editor asks of it and lets the test
// move its time and reach the end of the item.
#include "screens/PreviewPlayer.h"

#include <map>
#include <vector>

namespace quorvel::test {

class FakePreviewPlayer : public PreviewPlayer {
public:
    void replaceCurrentItemWithPlayerItem(std::shared_ptr<AVPlayerItem> item) override { current = std::move(item); }
    std::shared_ptr<AVPlayerItem> currentItem() const override { return current; }
    void play() override {
        ++plays;
        playing = true;
    }
    void pause() override {
        ++pauses;
        playing = false;
    }
    float rate() const override { return playing ? 1.0f : 0.0f; }
    Status status() const override { return readiness; }
    void seekToTime(const CMTime& time) override { seeks.push_back(time); }
    void setForwardPlaybackEndTime(const CMTime& time) override { forwardEnd = time; }
    ObserverToken addPeriodicTimeObserverForInterval(const CMTime& interval,
                                                     std::function<void(const CMTime&)> block) override {
        periodicInterval = interval;
        periodic[++next] = std::move(block);
        return next;
    }
    void removeTimeObserver(ObserverToken token) override { periodic.erase(token); }
    ObserverToken addEndOfItemObserver(const std::shared_ptr<AVPlayerItem>& item,
                                       std::function<void()> handler) override {
        ends[++next] = {item, std::move(handler)};
        return next;
    }
    void removeEndOfItemObserver(ObserverToken token) override { ends.erase(token); }

    // The player's time moves to `seconds`.
    void tick(double seconds) {
        auto observers = periodic;
        for (auto& [token, block] : observers) block(CMTimeMakeWithSeconds(seconds, 600));
    }
    // The current item has played to its forward end.
    void reachEnd() {
        playing = false;
        auto observers = ends;
        for (auto& [token, entry] : observers)
            if (entry.first == current) entry.second();
    }

    Status readiness = Status::ReadyToPlay;
    std::shared_ptr<AVPlayerItem> current;
    bool playing = false;
    int plays = 0;
    int pauses = 0;
    std::vector<CMTime> seeks;
    CMTime forwardEnd = kCMTimeInvalid;
    CMTime periodicInterval = kCMTimeInvalid;
    std::map<ObserverToken, std::function<void(const CMTime&)>> periodic;
    std::map<ObserverToken, std::pair<std::shared_ptr<AVPlayerItem>, std::function<void()>>> ends;

private:
    ObserverToken next = 0;
};

} // namespace quorvel::test
