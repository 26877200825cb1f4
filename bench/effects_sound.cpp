// How the effects run sounds, side by side with `rubberband -2 -F` (formants
// kept) on the same inputs, for all 25 editor settings:
//   - harmonic-to-noise ratio of a steady harmonic tone: power at the
//     multiples of its (shifted) fundamental against all the rest;
//   - RMS level of a music segment and its samples at full scale;
//   - wall and CPU time (user + system, worker threads included) of the
//     whole effects run on that segment, best of `runs`.
//
//   effects_sound <tone.wav> <tone-hz> <music.wav> [runs] [speed position]
//
// With a speed position (-2 .. 2) only its five settings are measured.
//
// QUORVEL_HOME should point at a scratch folder: our output goes to its
// Documents, Rubber Band's next to it.
#include "editor/Ringtune.h"
#include "pipeline/AudioEffectsHelper.h"
#include "pipeline/EAFRead.h"
#include "platform/core/WorkerThreads.h"
#include "platform/ffmpeg/RealFourierTransform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <sys/resource.h>
#include <vector>

using namespace quorvel;

namespace {

constexpr double kRate = 44100.0;

struct Done : AudioEffectsHelperDelegate {
    QEventLoop loop;
    bool failed = false;
    void effectsDelegateDidFinishWithURL(const QUrl&) override { loop.quit(); }
    void effectsDelegateDidFail(const QString& reason) override {
        std::fprintf(stderr, "effects failed: %s\n", qPrintable(reason));
        failed = true;
        loop.quit();
    }
};

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

// One effects run as the editor starts it.
Timing runOurs(const QString& in, float speedControl, float semitones) {
    auto tune = std::make_shared<Ringtune>(QUrl::fromLocalFile(in), QStringLiteral("bench"), QString(), QImage());
    tune->setSpeed(speedControl);
    tune->setPitch(semitones);
    Done done;
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuSeconds();
    AudioEffectsHelper helper(QUrl::fromLocalFile(in));
    helper.setDelegate(&done);
    helper.startProcess(tune);
    done.loop.exec();
    if (done.failed) std::exit(1);
    return {double(clock.nsecsElapsed()) / 1e9, cpuSeconds() - cpu0};
}

QString ourOutput() { return QDir(qEnvironmentVariable("QUORVEL_HOME")).filePath(QStringLiteral("Documents/.processedEffect.wav")); }

// `rubberband -2 -F` on the same input; returns its wall time in seconds.
double runRubberBand(const QString& in, const QString& out, float speed, float pitch) {
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.start(QStringLiteral("rubberband"), {QStringLiteral("-2"), QStringLiteral("-F"), QStringLiteral("-q"), QStringLiteral("-t"),
                                           QString::number(double(speed), 'g', 9), QStringLiteral("-f"),
                                           QString::number(double(pitch), 'g', 9), in, out});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "rubberband failed: %s\n", p.readAllStandardError().constData());
        std::exit(1);
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

std::vector<float> readMono(const QString& path) {
    EAFRead reader;
    if (reader.openFileForRead(QUrl::fromLocalFile(path), kRate, 1) != 0) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    std::vector<float> x;
    std::vector<float> block(8192);
    float* ptr = block.data();
    int32_t n;
    while ((n = reader.readFloatsConsecutive(long(block.size()), &ptr)) > 0) x.insert(x.end(), block.begin(), block.begin() + n);
    return x;
}

double rmsDb(const std::vector<float>& x) {
    double sum = 0;
    for (float v : x) sum += double(v) * v;
    return x.empty() ? -999.0 : 10.0 * std::log10(sum / double(x.size()) + 1e-30);
}

// Samples at the writer's clamp (0.999) or beyond: heard as clipping.
long fullScale(const std::vector<float>& x) {
    return long(std::count_if(x.begin(), x.end(), [](float v) { return std::fabs(v) >= 32735.0f / 32768.0f; }));
}

// Harmonic-to-noise ratio in dB over the middle half of x: power spectra of
// Blackman-Harris frames (about 0.74 s, half overlapping) summed; the bins
// within 8 (about 11 Hz, twice the window's main lobe) of a multiple of f0 are
// harmonic, every other bin above 20 Hz is noise.
double hnrDb(const std::vector<float>& x, double f0) {
    const size_t from = x.size() / 4, to = x.size() * 3 / 4;
    int size = 32768;
    while (size > 4096 && size_t(size) > to - from) size /= 2;
    ff::RealFourierTransform fft(size);
    std::vector<float> window(static_cast<size_t>(size)), frame(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        const double t = 2 * std::numbers::pi * i / size;
        window[size_t(i)] = float(0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t));
    }
    std::vector<std::complex<float>> spectrum(size_t(fft.bins()));
    std::vector<double> power(size_t(fft.bins()), 0.0);
    for (size_t at = from; at + size_t(size) <= to; at += size_t(size / 2)) {
        for (int i = 0; i < size; ++i) frame[size_t(i)] = x[at + size_t(i)] * window[size_t(i)];
        fft.forward(frame.data(), spectrum.data());
        for (size_t k = 0; k < power.size(); ++k) power[k] += std::norm(spectrum[k]);
    }
    const double binHz = kRate / size;
    std::vector<bool> harmonic(power.size(), false);
    for (double f = f0; f < kRate / 2; f += f0) {
        const long centre = std::lround(f / binHz);
        for (long k = std::max(0L, centre - 8); k <= centre + 8 && k < long(power.size()); ++k) harmonic[size_t(k)] = true;
    }
    double h = 0, n = 0;
    for (size_t k = size_t(std::ceil(20.0 / binHz)); k < power.size(); ++k) (harmonic[k] ? h : n) += power[k];
    return 10.0 * std::log10((h + 1e-30) / (n + 1e-30));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <tone.wav> <tone-hz> <music.wav> [runs] [speed position]\n", argv[0]);
        return 2;
    }
    const QString tone = QString::fromLocal8Bit(argv[1]);
    const double toneHz = std::atof(argv[2]);
    const QString music = QString::fromLocal8Bit(argv[3]);
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    const bool oneSpeed = argc > 5;
    const float onlySpeed = oneSpeed ? float(std::atof(argv[5])) : 0.f;
    const QString rbOut = QDir(qEnvironmentVariable("QUORVEL_HOME")).filePath(QStringLiteral("rubberband.wav"));
    const auto musicIn = readMono(music);
    std::printf("music input: %.1f s, RMS %.2f dB, %ld samples at full scale; wall: best of %d runs\n",
                double(musicIn.size()) / kRate, rmsDb(musicIn), fullScale(musicIn), runs);
    std::printf("%5s %5s | %7s %7s %6s | %7s %7s %6s | %5s %5s | %6s %6s %6s\n", "speed", "semi", "HNR us", "HNR rb",
                "diff", "RMS us", "RMS rb", "diff", "FS us", "FS rb", "wall", "cpu", "rb");
    int hnrMisses = 0, levelMisses = 0, clipMisses = 0, slowMisses = 0;
    double slowest = 0, slowestCpu = 0, worstFromInput = 0, worstRbFromInput = 0;
    const double inputDb = rmsDb(musicIn);
    for (float v : {-2.f, -1.f, 0.f, 1.f, 2.f}) {
        if (oneSpeed && v != onlySpeed) continue;
        for (float s : {-12.f, -6.f, 0.f, 6.f, 12.f}) {
            Ringtune probe(QUrl(), {}, {}, QImage());
            probe.setSpeed(v);
            probe.setPitch(s);
            const float speed = probe.speed(), pitch = probe.pitch();
            const double f0 = toneHz * double(pitch);

            runOurs(tone, v, s);
            const double hnrOurs = hnrDb(readMono(ourOutput()), f0);
            runRubberBand(tone, rbOut, speed, pitch);
            const double hnrRb = hnrDb(readMono(rbOut), f0);

            Timing best{1e9, 1e9};
            for (int r = 0; r < runs; ++r) {
                const Timing t = runOurs(music, v, s);
                best.wall = std::min(best.wall, t.wall);
                best.cpu = std::min(best.cpu, t.cpu);
            }
            const double wall = best.wall;
            const auto ours = readMono(ourOutput());
            const double rbWall = runRubberBand(music, rbOut, speed, pitch);
            const auto rb = readMono(rbOut);
            const double rmsOurs = rmsDb(ours), rmsRb = rmsDb(rb);
            const long fsOurs = fullScale(ours), fsRb = fullScale(rb);

            std::printf("%5.0f %5.0f | %7.2f %7.2f %+6.2f | %7.2f %7.2f %+6.2f | %5ld %5ld | %6.3f %6.3f %6.3f\n", v, s, hnrOurs,
                        hnrRb, hnrOurs - hnrRb, rmsOurs, rmsRb, rmsOurs - rmsRb, fsOurs, fsRb, wall, best.cpu, rbWall);
            std::fflush(stdout);
            hnrMisses += hnrOurs < hnrRb;
            levelMisses += std::fabs(rmsOurs - rmsRb) > 1.0;
            clipMisses += fsOurs > fsRb;
            slowMisses += wall >= 1.6;
            slowest = std::max(slowest, wall);
            slowestCpu = std::max(slowestCpu, best.cpu);
            if (std::fabs(rmsOurs - inputDb) > std::fabs(worstFromInput)) worstFromInput = rmsOurs - inputDb;
            if (std::fabs(rmsRb - inputDb) > std::fabs(worstRbFromInput)) worstRbFromInput = rmsRb - inputDb;
        }
    }
    std::printf("settings missing a goal: HNR below rubberband %d, level more than 1 dB from rubberband's %d, more "
                "full-scale samples %d, 1.6 s or slower %d (slowest %.3f s wall, %.3f s cpu)\n",
                hnrMisses, levelMisses, clipMisses, slowMisses, slowest, slowestCpu);
    std::printf("level furthest from the input's: ours %+.2f dB, rubberband %+.2f dB\n", worstFromInput, worstRbFromInput);
    WorkerThreads::joinAll(); // before the statics the workers use go
    return 0;
}
