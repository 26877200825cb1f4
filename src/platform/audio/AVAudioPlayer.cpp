#include "platform/audio/AVAudioPlayer.h"

#include "platform/audio/AudioErrors.h"
#include "platform/audio/AudioOutput.h"
#include "platform/audio/PlaybackStream.h"
#include "platform/audiofile/AudioStatus.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"

#include <QFileInfo>

namespace quorvel {

class AVAudioPlayer::Impl : public std::enable_shared_from_this<Impl> {
public:
    AVAudioPlayer* owner = nullptr;
    QUrl url;
    std::unique_ptr<PlaybackStream> stream;
    AVAudioPlayerDelegate* delegate = nullptr;
    bool playing = false;

    void didFinish() {
        if (!playing || !stream || !stream->isFinished()) return;
        playing = false;
        AudioOutput::sharedInstance().detach(stream.get());
        const bool successfully = !stream->hasFailed();
        if (!successfully) NSLog("AVAudioPlayer: %@", stream->error().localizedDescription);
        // Last: the delegate may drop the player.
        if (delegate) delegate->audioPlayerDidFinishPlaying(owner, successfully);
    }

    bool openStream(const QString& path, NSError* cause) {
        stream = PlaybackStream::open(PlaybackStream::Span{path, kCMTimeZero, kCMTimeInvalid, nullptr}, cause);
        if (!stream) return false;
        std::weak_ptr<Impl> weak = weak_from_this();
        // Queued, so that the delegate may drop the player.
        stream->setFinishHandler([weak] {
            performOnMainThread([weak] {
                if (auto self = weak.lock()) self->didFinish();
            });
        });
        return true;
    }

    void shutdown() {
        if (stream) AudioOutput::sharedInstance().detach(stream.get());
        stream.reset();
        playing = false;
        delegate = nullptr;
        owner = nullptr;
    }
};

namespace {
NSError openError(const QUrl& url, const NSError& cause) {
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    const QString name = path.isEmpty() ? url.toString() : QFileInfo(path).fileName();
    if (path.isEmpty())
        return osStatusError(kAudio_ParamError, QStringLiteral("“%1” is not a local file").arg(url.toString()));
    if (!QFileInfo(path).isFile())
        return osStatusError(kAudio_FileNotFoundError, QStringLiteral("The file “%1” does not exist").arg(name));
    return osStatusError(statusFromAVError(int(cause.code), kAudioFileUnsupportedFileTypeError),
                         QStringLiteral("The file “%1” cannot be played: %2").arg(name, cause.localizedDescription));
}
} // namespace

AVAudioPlayer::AVAudioPlayer() : d(std::make_shared<Impl>()) { d->owner = this; }

AVAudioPlayer::~AVAudioPlayer() { d->shutdown(); }

std::shared_ptr<AVAudioPlayer> AVAudioPlayer::initWithContentsOfURL(const QUrl& url, NSError* error) {
    std::shared_ptr<AVAudioPlayer> player(new AVAudioPlayer);
    NSError cause;
    const bool readable = url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile();
    if (!readable || !player->d->openStream(url.toLocalFile(), &cause)) {
        if (error) *error = openError(url, cause);
        return nullptr;
    }
    player->d->url = url;
    return player;
}

bool AVAudioPlayer::play() {
    if (d->playing) return true;
    if (!d->stream) return false;
    if (d->stream->isFinished()) {
        // Played to the end before: start again from the beginning.
        NSError cause;
        if (!d->openStream(d->url.toLocalFile(), &cause)) {
            NSLog("AVAudioPlayer: %@", cause.localizedDescription);
            return false;
        }
    }
    QString why;
    if (!AudioOutput::sharedInstance().attach(d->stream.get(), &why)) {
        NSLog("AVAudioPlayer: %@", why);
        return false;
    }
    d->playing = true;
    return true;
}

void AVAudioPlayer::stop() {
    if (!d->playing) return;
    d->playing = false;
    AudioOutput::sharedInstance().detach(d->stream.get());
}

bool AVAudioPlayer::isPlaying() const { return d->playing; }

double AVAudioPlayer::currentTime() const { return d->stream ? CMTimeGetSeconds(d->stream->position()) : 0.0; }

const QUrl& AVAudioPlayer::url() const { return d->url; }

void AVAudioPlayer::setDelegate(AVAudioPlayerDelegate* delegate) { d->delegate = delegate; }

AVAudioPlayerDelegate* AVAudioPlayer::delegate() const { return d->delegate; }

} // namespace quorvel
