// Playback figures through SDL's disk driver, which writes what the device
// is handed to a file as it happens:
//   audio_playback latency FILE REPS   play() (and init+play) to the first sound in the file, cold device
//   audio_playback once FILE           plays FILE with AVAudioPlayer and exits (for `watch`)
//   audio_playback cpu FILE FADE       AVPlayer plays FILE with FADE-second fades; CPU share of one core
//   audio_playback watch OUT CMD...    runs CMD; time to the first sound in OUT, and its CPU share
// The driver must be set by the caller (SDL_AUDIODRIVER=disk, SDL_DISKAUDIOFILE=OUT).
#include "DiskAudioWatch.h"
#include "platform/audio/AVAudioPlayer.h"
#include "platform/audio/AVAudioSession.h"
#include "platform/audio/AVPlayer.h"
#include "platform/core/NotificationCenter.h"
#include "platform/media/AVAudioMix.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quorvel;
using quorvel::bench::Clock;
using quorvel::bench::firstSound;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double cpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Times one start: init, play() itself, play -> our callback's first frames
// (the player's position moves only there), play -> first sound in the file.
struct Start {
    double init = 0, playCall = 0, callback = 0, file = 0;
};

Start startOnce(const QString& file, const QString& out) {
    Start s;
    std::atomic<bool> stop{false};
    Clock::time_point heard;
    const qint64 offset = QFile(out).size();
    std::thread watcher([&] { heard = firstSound(out, offset, stop); });
    const Clock::time_point t0 = Clock::now();
    NSError error;
    auto player = AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(file), &error);
    if (!player) {
        stop = true;
        watcher.join();
        return s;
    }
    const Clock::time_point t1 = Clock::now();
    player->play();
    const Clock::time_point t2 = Clock::now();
    while (player->currentTime() == 0.0) {
    }
    const Clock::time_point t3 = Clock::now();
    watcher.join();
    s.init = ms(t1 - t0);
    s.playCall = ms(t2 - t1);
    s.callback = ms(t3 - t1);
    s.file = ms(heard - t1);
    player->stop();
    QCoreApplication::processEvents();
    return s;
}

int latency(const QString& file, int reps) {
    const QString out = qEnvironmentVariable("SDL_DISKAUDIOFILE");
    for (bool cold : {true, false}) {
        std::vector<double> init, call, callback, heard;
        for (int r = 0; r < reps; ++r) {
            // Cold: the device closed, as after a few seconds of silence.
            if (cold) AVAudioSession::sharedInstance().setActive(false, nullptr);
            const Start s = startOnce(file, out);
            init.push_back(s.init);
            call.push_back(s.playCall);
            callback.push_back(s.callback);
            heard.push_back(s.file);
        }
        std::printf("%s device, median of %d: init %.2f ms; play() returns %.2f ms; play -> first frames taken by "
                    "the callback %.2f ms (max %.2f); play -> first sound in the driver's file %.2f ms\n",
                    cold ? "cold" : "open", reps, median(init), median(call), median(callback),
                    *std::max_element(callback.begin(), callback.end()), median(heard));
    }
    return 0;
}

struct QuitWhenFinished : AVAudioPlayerDelegate {
    void audioPlayerDidFinishPlaying(AVAudioPlayer*, bool) override { QCoreApplication::quit(); }
};

int once(const QString& file) {
    NSError error;
    auto player = AVAudioPlayer::initWithContentsOfURL(QUrl::fromLocalFile(file), &error);
    QuitWhenFinished delegate;
    if (!player) return 1;
    player->setDelegate(&delegate);
    if (!player->play()) return 1;
    return QCoreApplication::exec();
}

int cpu(const QString& file, double fade) {
    auto item = AVPlayerItem::playerItemWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(file)));
    const double length = CMTimeGetSeconds(item->asset()->duration());
    auto params = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(0);
    params->setVolumeRamp(0, 1, CMTimeRangeMake(kCMTimeZero, CMTimeMakeWithSeconds(fade, 10)));
    params->setVolumeRamp(1, 0, CMTimeRangeMake(CMTimeMakeWithSeconds(length - fade, 10), CMTimeMakeWithSeconds(fade, 10)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({params});
    AVPlayer player(item);
    item->setAudioMix(mix);
    item->setForwardPlaybackEndTime(CMTimeMakeWithSeconds(length, 10));
    QEventLoop loop;
    NotificationCenter::defaultCenter().addObserver(AVPlayerItemDidPlayToEndTimeNotification, item.get(),
                                                    [&](const QString&, const void*) { loop.quit(); });
    int ticks = 0;
    player.addPeriodicTimeObserverForInterval(CMTimeMake(1, 5), [&](const CMTime&) { ++ticks; });
    const double c0 = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    player.play();
    loop.exec();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double used = cpuSeconds(RUSAGE_SELF) - c0;
    std::printf("AVPlayer %.1f s with %.1f s fades: %.3f s CPU over %.2f s = %.2f %% of one core (%d observer ticks)\n",
                length, fade, used, seconds, 100 * used / seconds, ticks);
    return 0;
}

int watch(const QString& out, char** argv) {
    QFile::remove(out);
    std::atomic<bool> stop{false};
    const Clock::time_point t0 = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    Clock::time_point heard;
    std::thread watcher([&] { heard = firstSound(out, 0, stop); });
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double wall = ms(Clock::now() - t0) / 1000;
    stop = true;
    watcher.join();
    const double used = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("start -> first sound %.2f ms; %.3f s CPU over %.2f s = %.2f %% of one core; exit %d\n",
                ms(heard - t0), used, wall, 100 * used / wall, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "watch") return watch(QString::fromLocal8Bit(argv[2]), argv + 3);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QStringLiteral("latency")) return latency(args[2], args[3].toInt());
    if (args.size() == 3 && args[1] == QStringLiteral("once")) return once(args[2]);
    if (args.size() == 4 && args[1] == QStringLiteral("cpu")) return cpu(args[2], args[3].toDouble());
    std::fprintf(stderr, "usage: audio_playback latency FILE REPS | once FILE | cpu FILE FADE | watch OUT CMD...\n");
    return 2;
}
