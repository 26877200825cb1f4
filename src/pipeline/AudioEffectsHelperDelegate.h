#pragma once
// Receives the end of an effects run. The effects object does not own its
// delegate: it holds lifetime() and skips the call once the delegate is gone.
// Delegates live on the main thread, where the call is made.
#include <QString>
#include <QUrl>
#include <cstdint>
#include <memory>

namespace quorvel {

class AudioEffectsHelperDelegate {
public:
    AudioEffectsHelperDelegate() = default;
    // A copy is a delegate of its own, with its own lifetime.
    AudioEffectsHelperDelegate(const AudioEffectsHelperDelegate&) {}
    AudioEffectsHelperDelegate& operator=(const AudioEffectsHelperDelegate&) { return *this; }
    virtual ~AudioEffectsHelperDelegate() = default;

    // Called once per run, on the main thread, when the output file has been
    // created and its length is known (`frames` at 44,100 Hz), before it is
    // complete. It may be read meanwhile through a reader that follows its
    // growth (GrowingFile); any other reader must wait for the end.
    virtual void effectsDelegateDidStartWritingURL(const QUrl& url, int64_t frames) {
        (void)url;
        (void)frames;
    }
    // Called once per run, on the main thread, when the output file is complete.
    virtual void effectsDelegateDidFinishWithURL(const QUrl& url) = 0;
    // Called instead when the output file could not be written in full (a
    // full disk); no output file is left. `reason` is a sentence for the user.
    virtual void effectsDelegateDidFail(const QString& reason) = 0;

    // Expires when this delegate is destroyed.
    std::weak_ptr<const void> lifetime() const { return lifetime_; }

private:
    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};

} // namespace quorvel
