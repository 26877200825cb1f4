// The effects run on one input file, timed from startProcess to the delegate.
//   effects <in.wav> <speed-control> <semitones>   one run (as the editor sets them:
//                                                  speed 2^(v/2), pitch 2^(s/12))
//   effects <in.wav> all                           the 25 editor settings
// Prints wall and CPU time per run (CPU: user + system of the process, the
// worker included) and the peak resident memory of the process.
// QUORVEL_HOME should point at a scratch folder (the output goes to its Documents).
#include "editor/Ringtune.h"
#include "pipeline/AudioEffectsHelper.h"
#include "platform/core/WorkerThreads.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>

using namespace quorvel;

namespace {

struct Done : AudioEffectsHelperDelegate {
    QEventLoop loop;
    void effectsDelegateDidFinishWithURL(const QUrl&) override { loop.quit(); }
    void effectsDelegateDidFail(const QString& reason) override {
        std::fprintf(stderr, "%s\n", qPrintable(reason));
        loop.quit();
    }
};

rusage usageNow() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

// User + system time of the whole process (the worker thread included).
double cpuSeconds() {
    rusage u = usageNow();
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

Timing runOnce(const QString& in, float speedControl, float semitones, float* speed, float* pitch) {
    auto tune = std::make_shared<Ringtune>(QUrl::fromLocalFile(in), QStringLiteral("bench"), QString(), QImage());
    tune->setSpeed(speedControl);
    tune->setPitch(semitones);
    *speed = tune->speed();
    *pitch = tune->pitch();
    Done done;
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuSeconds();
    AudioEffectsHelper helper(QUrl::fromLocalFile(in));
    helper.setDelegate(&done);
    helper.startProcess(tune);
    done.loop.exec();  // sleeps until the delegate call arrives
    return {double(clock.nsecsElapsed()) / 1e9, cpuSeconds() - cpu0};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <in.wav> (<speed-control> <semitones> | all)\n", argv[0]);
        return 2;
    }
    const QString in = QString::fromLocal8Bit(argv[1]);
    float speed = 1, pitch = 1;
    if (QByteArray(argv[2]) == "all") {
        Timing slowest;
        QString slowestName;
        for (float v : {-2.f, -1.f, 0.f, 1.f, 2.f}) {
            for (float s : {-12.f, -6.f, 0.f, 6.f, 12.f}) {
                Timing t = runOnce(in, v, s, &speed, &pitch);
                std::printf("speed %.4f pitch %.4f wall %.3f s cpu %.3f s\n", speed, pitch, t.wall, t.cpu);
                if (t.wall > slowest.wall) {
                    slowest = t;
                    slowestName = QStringLiteral("speed %1 pitch %2").arg(speed, 0, 'f', 4).arg(pitch, 0, 'f', 4);
                }
            }
        }
        std::printf("slowest (wall): %s, wall %.3f s cpu %.3f s\n", qPrintable(slowestName), slowest.wall, slowest.cpu);
    } else {
        if (argc < 4) return 2;
        Timing t = runOnce(in, std::strtof(argv[2], nullptr), std::strtof(argv[3], nullptr), &speed, &pitch);
        std::printf("speed %.4f pitch %.4f wall %.3f s cpu %.3f s\n", speed, pitch, t.wall, t.cpu);
    }
    std::printf("peak resident memory: %ld kB\n", usageNow().ru_maxrss);
    WorkerThreads::joinAll(); // before the statics the workers use go
    return 0;
}
