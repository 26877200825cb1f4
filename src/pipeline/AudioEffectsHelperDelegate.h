#pragma once
// Receives the end of an effects run. The effects object does not own its
// delegate: it holds lifetime() and skips the call once the delegate is gone.
// Delegates live on the main thread, where the call is made.
#include <QString>
#include <QUrl>
#include <memory>

namespace quorvel {

class AudioEffectsHelperDelegate {
public:
    AudioEffectsHelperDelegate() = default;
    // A copy is a delegate of its own, with its own lifetime.
    AudioEffectsHelperDelegate(const AudioEffectsHelperDelegate&) {}
    AudioEffectsHelperDelegate& operator=(const AudioEffectsHelperDelegate&) { return *this; }
    virtual ~AudioEffectsHelperDelegate() = default;

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
