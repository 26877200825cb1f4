#pragma once
// The one output device that every player and system sound plays through:
// 44,100 Hz, stereo, 32-bit float, mixed in SDL's audio callback. The device
// opens when the first renderer attaches and closes after a short silence
// (or at once through close(), which the audio session uses). When no real
// device opens, sound goes to SDL's dummy driver.
//
// Renderers that have finished are let go on the main thread, from a timer
// that runs while the device is open; each then hears renderingFinished().
//
// When the device goes away under it (the sound server stopped, a headset
// unplugged), every renderer hears renderingFinished() at once, the device
// closes, and kDeviceLostNotification is posted; the next sound starts the
// audio subsystem again, so it plays once a server is back.
//
// Thread safety: every call on the main thread. Renderers are called on
// SDL's audio thread.
#include <QElapsedTimer>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QTimer;

namespace quorvel {

class AudioRenderer;

class AudioOutput {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;
    // Frames per callback: about 12 ms, so sound starts soon after play.
    static constexpr int kPeriodFrames = 512;
    // How long the device stays open with nothing to play.
    static constexpr int kIdleCloseMs = 2000;

    // Posted on the main thread when the open device went away.
    static constexpr const char* kDeviceLostNotification = "AudioOutputDeviceLostNotification";

    static AudioOutput& sharedInstance();

    // Starts playing `renderer` (opening the device if needed). False, with
    // the reason, when no device can be opened or all slots are taken.
    bool attach(AudioRenderer* renderer, QString* error);
    // Stops calling `renderer`; when this returns, the audio thread no longer
    // uses it. No renderingFinished() follows.
    void detach(AudioRenderer* renderer);
    bool isAttached(const AudioRenderer* renderer) const;
    // Whether anything is attached.
    bool isBusy() const;
    bool isOpen() const { return device_ != 0; }
    // Closes the device now. False (nothing closed) while renderers are attached.
    bool close();

    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

private:
    AudioOutput();
    ~AudioOutput();

    struct Slot {
        AudioRenderer* renderer = nullptr;
        std::atomic<bool> done{false};
    };

    bool open(QString* error);
    void closeDevice();
    void lock() const;
    void unlock() const;
    void housekeeping();
    void deviceLost();
    static void callback(void* self, uint8_t* stream, int bytes);
    void mix(float* out, int frames);

    uint32_t device_ = 0;
    std::array<Slot, 16> slots_;
    std::vector<float> scratch_; // one period, allocated when the device opens
    std::unique_ptr<QTimer> timer_;
    QElapsedTimer idle_;
    bool lost_ = false;
};

} // namespace quorvel
