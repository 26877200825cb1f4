// Press play to the first sound heard, on the editor's own road: the
// presenter cuts the segment (and runs the effects) and the player starts.
// The sound is read from SDL's disk driver file, as in audio_playback.
//   preview_latency SONG START LENGTH SPEED PITCH REPS
// prints the median and the spread over REPS presses, each on an unprocessed
// segment and a closed device (as after a few seconds of silence).
#include "DiskAudioWatch.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/audio/AVAudioSession.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "screens/AVPreviewPlayer.h"
#include "screens/MainViewController.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

using namespace quorvel;
using quorvel::bench::Clock;
using quorvel::bench::firstSound;

namespace {

void runUntil(const std::function<bool()>& done) {
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7) {
        std::fprintf(stderr, "usage: preview_latency SONG START LENGTH SPEED PITCH REPS\n");
        return 2;
    }
    const QString out = qEnvironmentVariable("SDL_DISKAUDIOFILE");
    const auto item = MPMediaLibrary::defaultMediaLibrary().addFile(args[1]);
    if (!item || item->isNull()) {
        std::fprintf(stderr, "not a song: %s\n", qPrintable(args[1]));
        return 1;
    }
    MainViewController presenter(IsAACHardwareEncoderAvailable(), std::make_unique<AVPreviewPlayer>());
    presenter.mediaPickerDidPickMediaItems({*item});
    runUntil([&] { return !presenter.isLoading(); });
    if (presenter.songLoadFailed()) {
        std::fprintf(stderr, "the song did not load\n");
        return 1;
    }
    presenter.rangeValueChanged(args[3].toFloat());
    presenter.speedValueChanged(args[4].toFloat());
    presenter.pitchValueChanged(args[5].toFloat());

    std::vector<double> times;
    for (int r = 0; r < args[6].toInt(); ++r) {
        // Setting the start marks the segment unprocessed: each press cuts again.
        presenter.startValueChanged(args[2].toFloat());
        runUntil([] { return AVAudioSession::sharedInstance().setActive(false, nullptr); });
        std::atomic<bool> stop{false}, found{false};
        Clock::time_point heard;
        std::thread watcher([&, offset = QFile(out).size()] {
            heard = firstSound(out, offset, stop);
            found = !stop.load();
        });
        const Clock::time_point pressed = Clock::now();
        presenter.playOrPauseMusic();
        runUntil([&] { return found.load() || Clock::now() - pressed > std::chrono::seconds(60); });
        stop = true;
        watcher.join();
        if (!found) {
            std::fprintf(stderr, "nothing was heard within a minute\n");
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(heard - pressed).count());
        if (presenter.isPlaying()) presenter.playOrPauseMusic();
        runUntil([&] { return !presenter.isPlaying() && presenter.areControlsEnabled(); });
    }
    std::sort(times.begin(), times.end());
    std::printf("press play -> first sound: median %.1f ms (min %.1f, max %.1f, %zu presses)\n",
                times[times.size() / 2], times.front(), times.back(), times.size());
    return 0;
}
