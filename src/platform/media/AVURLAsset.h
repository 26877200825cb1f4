#pragma once
// A media asset opened from a URL with libavformat. Values are loaded
// asynchronously on a worker thread (owned by WorkerThreads, so it is joined
// before the program ends); the completion runs on the main thread.
// Reading a value that has not been loaded loads it synchronously.
//
// Thread safety: all methods may be called from any thread.
#include "platform/core/CMTime.h"
#include "platform/core/NSError.h"

#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvel {

extern const QString AVMediaTypeAudio;

enum AVKeyValueStatus {
    AVKeyValueStatusUnknown = 0,
    AVKeyValueStatusLoading = 1,
    AVKeyValueStatusLoaded = 2,
    AVKeyValueStatusFailed = 3,
    AVKeyValueStatusCancelled = 4,
};

struct AVAssetTrack {
    int trackID = 0; // the stream index in the container
    QString mediaType;
    QString codecName;
    int sampleRate = 0;
    int channelCount = 0;
    CMTime duration;
};

class AVURLAsset : public std::enable_shared_from_this<AVURLAsset> {
public:
    // Turns a non-file URL (such as a music-library URL) into a local path,
    // or returns an empty string when it names nothing.
    using URLResolver = std::function<QString(const QUrl&)>;
    static void setURLResolver(const QString& scheme, URLResolver resolver);

    static std::shared_ptr<AVURLAsset> URLAssetWithURL(const QUrl& url);

    const QUrl& URL() const { return url_; }
    // The local file behind the URL, or empty when it cannot be resolved.
    QString filePath() const { return path_; }

    void loadValuesAsynchronouslyForKeys(const QStringList& keys, std::function<void()> completion);
    AVKeyValueStatus statusOfValueForKey(const QString& key, NSError* error = nullptr) const;

    // The length of the audio: the container's figure where it fits the file,
    // else counted from the packets (never a guess from the bit rate).
    // Time scale 44100; invalid on failure.
    CMTime duration();
    std::vector<AVAssetTrack> tracks();
    std::vector<AVAssetTrack> tracksWithMediaType(const QString& mediaType);

private:
    explicit AVURLAsset(const QUrl& url);
    void loadNow();

    QUrl url_;
    QString path_;
    mutable std::mutex mutex_;
    AVKeyValueStatus status_ = AVKeyValueStatusUnknown;
    NSError error_;
    CMTime duration_ = kCMTimeInvalid;
    std::vector<AVAssetTrack> tracks_;
};

// An asset prepared for playback: its audio mix, the time where playback
// stops and its position. A player (src/platform/audio) that plays the item
// becomes its host: seeks and end-time changes reach it, and the position is
// the player's while it is attached. One player at a time hosts an item.
//
// Thread safety: main thread only.
class AVPlayerItem {
public:
    // What a player offers the item it plays.
    class Host {
    public:
        virtual ~Host() = default;
        virtual CMTime playerItemCurrentTime(const AVPlayerItem& item) const = 0;
        virtual void playerItemDidSeek(AVPlayerItem& item) = 0;
        virtual void playerItemEndTimeChanged(AVPlayerItem& item) = 0;
    };

    static std::shared_ptr<AVPlayerItem> playerItemWithAsset(std::shared_ptr<AVURLAsset> asset);
    const std::shared_ptr<AVURLAsset>& asset() const { return asset_; }
    std::vector<AVAssetTrack> tracks() const { return asset_ ? asset_->tracks() : std::vector<AVAssetTrack>{}; }

    void setAudioMix(std::shared_ptr<class AVAudioMix> mix) { audioMix_ = std::move(mix); }
    const std::shared_ptr<class AVAudioMix>& audioMix() const { return audioMix_; }

    // Playback stops here and the end-of-item notification is posted; the
    // invalid time (the default) means the end of the media.
    void setForwardPlaybackEndTime(const CMTime& time);
    const CMTime& forwardPlaybackEndTime() const { return forwardPlaybackEndTime_; }

    CMTime currentTime() const;
    // Moves the position to `time` (an invalid or negative time means 0).
    void seekToTime(const CMTime& time);

    // For players: `host` now plays the item. hostDidLeave() lets go (when
    // `host` is still the item's host), leaving `position` as the item's.
    void setHost(Host* host) { host_ = host; }
    void hostDidLeave(const Host* host, const CMTime& position);
    Host* host() const { return host_; }
    // The position last set by a seek or left by a host.
    const CMTime& seekPosition() const { return position_; }

    explicit AVPlayerItem(std::shared_ptr<AVURLAsset> asset) : asset_(std::move(asset)) {}
    AVPlayerItem(const AVPlayerItem&) = delete;
    AVPlayerItem& operator=(const AVPlayerItem&) = delete;

private:
    std::shared_ptr<AVURLAsset> asset_;
    std::shared_ptr<class AVAudioMix> audioMix_;
    CMTime forwardPlaybackEndTime_ = kCMTimeInvalid;
    CMTime position_ = kCMTimeZero;
    Host* host_ = nullptr;
};

} // namespace quorvel
