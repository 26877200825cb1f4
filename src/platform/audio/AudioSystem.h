#pragma once
// SDL's audio subsystem, started on first use with the driver SDL picks (or
// the one $SDL_AUDIODRIVER names). When that driver cannot open an output
// device, sound falls back to SDL's "dummy" driver: playback is paced as if
// heard, and the system reports no input. A change of $SDL_AUDIODRIVER takes
// effect the next time a device opens while none is open.
//
// Thread safety: main thread only.
#include <QByteArray>
#include <QString>

namespace quorvel {

class AudioSystem {
public:
    static AudioSystem& sharedInstance();

    // Starts the subsystem if needed. False (with SDL's reason) when not even
    // the fallback driver starts.
    bool start(QString* error);
    // Restarts on the dummy driver; only while no device is open.
    bool fallBackToDummy(QString* error);
    bool isFallback() const { return fallback_; }
    // Starts the subsystem afresh with the driver asked for (a sound server
    // may have come back); only while no device is open.
    bool restart(QString* error = nullptr);
    QString driverName() const;
    // A capture device exists (never on the fallback driver).
    bool hasCaptureDevice();

    // Devices report their opening and closing, so that a restart never
    // pulls the driver from under an open device.
    void deviceOpened() { ++openDevices_; }
    void deviceClosed() { --openDevices_; }
    int openDevices() const { return openDevices_; }
    int captureDevicesOpen() const { return openCaptureDevices_; }
    void captureOpened() { ++openCaptureDevices_; }
    void captureClosed() { --openCaptureDevices_; }

    AudioSystem(const AudioSystem&) = delete;
    AudioSystem& operator=(const AudioSystem&) = delete;

private:
    AudioSystem() = default;
    void stop();

    bool running_ = false;
    bool fallback_ = false;
    QByteArray requestedDriver_;
    int openDevices_ = 0;
    int openCaptureDevices_ = 0;
};

} // namespace quorvel
