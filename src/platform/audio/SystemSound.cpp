#include "platform/audio/SystemSound.h"

#include "platform/audio/AudioOutput.h"
#include "platform/audio/AudioRenderer.h"
#include "platform/audiofile/AudioStatus.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/core/Log.h"
#include "platform/media/AssetExportJob.h"
#include "platform/media/SegmentDecoder.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace quorvel {

namespace {
constexpr int kChannels = AudioOutput::kChannels;
// At most this many plays of one sound overlap; a further play reuses the oldest.
constexpr size_t kMaxVoices = 4;
// The status for a sound longer than a system sound may be.
constexpr OSStatus kAudioServicesSystemSoundExceededMaximumDurationError = -1502;
} // namespace

class SystemSound::Voice final : public AudioRenderer {
public:
    explicit Voice(std::shared_ptr<const std::vector<float>> samples) : samples_(std::move(samples)) {}

    void restart() { position_ = 0; }
    bool isDone() const { return done_; }
    void setBusy() { done_ = false; }

    bool render(float* out, int frames) noexcept override {
        const size_t total = samples_->size() / kChannels;
        const size_t n = std::min(total - std::min(position_, total), size_t(frames));
        std::memcpy(out, samples_->data() + position_ * kChannels, n * kChannels * sizeof(float));
        std::memset(out + n * kChannels, 0, (size_t(frames) - n) * kChannels * sizeof(float));
        position_ += n;
        return position_ < total;
    }
    void renderingFinished() override { done_ = true; }

private:
    std::shared_ptr<const std::vector<float>> samples_;
    size_t position_ = 0; // audio thread only while attached
    bool done_ = true;    // main thread
};

std::unique_ptr<SystemSound> SystemSound::load(const QString& path, OSStatus* status) {
    if (!QFileInfo(path).isFile()) {
        *status = kAudio_FileNotFoundError;
        return nullptr;
    }
    AssetExportJob job;
    job.sourcePath = path;
    SegmentDecoder decoder(job);
    NSError error;
    if (!decoder.open(&error)) {
        *status = statusFromAVError(int(error.code), kAudioFileUnsupportedFileTypeError);
        return nullptr;
    }
    auto samples = std::make_shared<std::vector<float>>();
    std::vector<float> chunk;
    const int channels = decoder.channels();
    const size_t maxFrames = size_t(kMaxSeconds * AudioOutput::kSampleRate);
    while (true) {
        const SegmentDecoder::Read read = decoder.next(chunk, &error);
        if (read == SegmentDecoder::Read::End) break;
        if (read == SegmentDecoder::Read::Failed) {
            *status = statusFromAVError(int(error.code), kAudioFileInvalidFileError);
            return nullptr;
        }
        const size_t frames = chunk.size() / size_t(channels);
        for (size_t i = 0; i < frames; ++i)
            for (int c = 0; c < kChannels; ++c)
                samples->push_back(chunk[i * size_t(channels) + size_t(std::min(c, channels - 1))]);
        if (samples->size() / kChannels > maxFrames) {
            *status = kAudioServicesSystemSoundExceededMaximumDurationError;
            return nullptr;
        }
    }
    std::unique_ptr<SystemSound> sound(new SystemSound);
    sound->samples_ = std::move(samples);
    *status = noErr;
    return sound;
}

SystemSound::~SystemSound() {
    for (auto& v : voices_) AudioOutput::sharedInstance().detach(v.get());
}

bool SystemSound::play() {
    AudioOutput& output = AudioOutput::sharedInstance();
    Voice* voice = nullptr;
    for (auto& v : voices_)
        if (v->isDone()) voice = v.get();
    if (!voice && voices_.size() < kMaxVoices) voice = voices_.emplace_back(std::make_unique<Voice>(samples_)).get();
    if (!voice) {
        // Every voice is busy: the oldest starts over.
        std::rotate(voices_.begin(), voices_.begin() + 1, voices_.end());
        voice = voices_.back().get();
        output.detach(voice);
    }
    voice->restart();
    voice->setBusy();
    QString why;
    if (!output.attach(voice, &why)) {
        voice->renderingFinished();
        NSLog("AudioServices: %@", why);
        return false;
    }
    return true;
}

double SystemSound::duration() const {
    return double(samples_->size() / kChannels) / AudioOutput::kSampleRate;
}

} // namespace quorvel
