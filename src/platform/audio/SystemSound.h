#pragma once
// A short sound held decoded in memory and played over whatever else plays.
// Each play() starts a voice of its own, so quick repeats overlap.
//
// Thread safety: main thread only.
#include "platform/core/OSStatus.h"

#include <QString>
#include <memory>
#include <vector>

namespace quorvel {

class SystemSound {
public:
    // The longest sound taken, in seconds.
    static constexpr double kMaxSeconds = 30.0;

    // Decodes the file. Nullptr, with the status, when it cannot be read,
    // holds no audio or is too long.
    static std::unique_ptr<SystemSound> load(const QString& path, OSStatus* status);
    ~SystemSound();

    // False when no output can play it.
    bool play();
    double duration() const;

    SystemSound(const SystemSound&) = delete;
    SystemSound& operator=(const SystemSound&) = delete;

private:
    class Voice;
    SystemSound() = default;

    std::shared_ptr<const std::vector<float>> samples_; // stereo, 44,100 Hz
    std::vector<std::unique_ptr<Voice>> voices_;
};

} // namespace quorvel
