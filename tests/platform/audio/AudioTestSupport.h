#pragma once
// What the audio tests share: SDL's disk driver pointed at files in a fresh
// home, and the known signals they play and record.
#include "TestSupport.h"
#include "platform/audio/AVAudioSession.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quorvel::test {

// Sets SDL's driver (disk by default) for the fixture's life; output goes to
// out.raw and capture comes from in.raw in the temporary home.
class AudioDriver {
public:
    explicit AudioDriver(const char* driver = "disk") : previous_(qgetenv("SDL_AUDIODRIVER")) {
        qputenv("SDL_AUDIODRIVER", driver);
        qputenv("SDL_DISKAUDIOFILE", outputPath().toUtf8());
        qputenv("SDL_DISKAUDIOFILEIN", inputPath().toUtf8());
    }
    ~AudioDriver() {
        AVAudioSession::sharedInstance().setActive(false, nullptr);
        qputenv("SDL_AUDIODRIVER", previous_);
    }
    QString outputPath() const { return home.path() + QStringLiteral("/out.raw"); }
    QString inputPath() const { return home.path() + QStringLiteral("/in.raw"); }
    QString documents() const { return home.documents(); }

    // Closes the output device and reads what it was given: interleaved
    // stereo floats.
    std::vector<float> takeOutput() const {
        NSError error;
        if (!AVAudioSession::sharedInstance().setActive(false, &error)) return {};
        QFile f(outputPath());
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.readAll();
        std::vector<float> out(size_t(bytes.size()) / sizeof(float));
        std::memcpy(out.data(), bytes.constData(), out.size() * sizeof(float));
        return out;
    }

    // What the capture device will read: raw mono 16-bit samples.
    bool setInput(const std::vector<int16_t>& samples) const {
        QFile f(inputPath());
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               f.write(reinterpret_cast<const char*>(samples.data()), qint64(samples.size() * 2)) ==
                   qint64(samples.size() * 2);
    }

    TempHome home;

private:
    QByteArray previous_;
};

// A tone that never crosses zero (0.1 .. 0.5), so silence and sound are told
// apart sample by sample.
inline std::vector<int16_t> liftedTone(double seconds) {
    std::vector<int16_t> s(size_t(std::llround(seconds * 44100)));
    for (size_t n = 0; n < s.size(); ++n)
        s[n] = int16_t(std::lrint(32767.0 * (0.3 + 0.2 * std::sin(2 * M_PI * 523.0 * double(n) / 44100))));
    return s;
}

inline float asFloat(int16_t s) { return float(s) / 32768.0f; }

// Index of the first frame whose left sample's magnitude exceeds `threshold`, or -1.
inline long firstAbove(const std::vector<float>& stereo, float threshold) {
    for (size_t i = 0; i + 1 < stereo.size(); i += 2)
        if (std::fabs(stereo[i]) > threshold) return long(i / 2);
    return -1;
}

} // namespace quorvel::test
