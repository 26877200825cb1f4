// The song's own waveform in the real editor (widgets, offscreen or on a
// display), for one song file:
//   compute_s       from the song having loaded (the job starts) until its
//                   peaks reach the editor, with an empty cache
//   max_gap_ms      the longest gap between the main thread's 1 ms timer ticks
//                   meanwhile (the main thread never blocks on the decode)
//   cached_pick_ms  the same song picked again: from the pick until the strip
//                   has painted the waveform read from the cache
//   cached_load_ms  the same, from the song having loaded
// The cache lives under $QUORVEL_HOME (emptied first).
//   window_waveform SONG
#include "platform/media/WaveformCache.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "screens/MainViewController.h"
#include "ui/common/ScreenStack.h"
#include "ui/editor/MainViewWidget.h"
#include "ui/editor/SongStripView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace quorvel;

namespace {

// The first paint of the strip with the song's peaks.
class PeaksPaintWatch : public QObject {
public:
    explicit PeaksPaintWatch(SongStripView* strip) : strip_(strip) { strip->installEventFilter(this); }
    qint64 paintedAt = -1;
    const QElapsedTimer* clock = nullptr;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && paintedAt < 0 && strip_->peaks()) paintedAt = clock->nsecsElapsed();
        return false;
    }

private:
    SongStripView* strip_;
};

// Runs the event loop until `done` (woken by the 1 ms ticks at the latest):
// it sleeps between events, so the worker keeps the processor.
void spinUntil(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_waveform SONG\n");
        return 2;
    }
    QDir(WaveformCache::directory()).removeRecursively();
    MPMediaLibrary& library = MPMediaLibrary::defaultMediaLibrary();
    const auto item = library.addFile(QString::fromLocal8Bit(argv[1]));
    if (!item) {
        std::fprintf(stderr, "window_waveform: %s is no song\n", argv[1]);
        return 1;
    }
    MainViewController presenter(true);
    presenter.setMediaLibrary(&library);
    ScreenStack stack;
    stack.resize(ScreenStack::kWidth, ScreenStack::kHeight);
    auto* screen = new MainViewWidget(presenter);
    stack.setRootScreen(screen);
    stack.show();
    presenter.setSongWaveformShown(true);
    auto* strip = screen->findChild<SongStripView*>(QStringLiteral("waveContent"));

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, maxGap = 0;
    bool measuring = false;
    QTimer ticks;
    ticks.setInterval(1);
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (measuring) maxGap = std::max(maxGap, now - lastTick);
        lastTick = now;
    });
    ticks.start();

    // Computed: the job starts when the song has loaded.
    presenter.mediaPickerDidPickMediaItems({*item});
    spinUntil([&] { return !presenter.isLoading(); });
    const qint64 loaded = clock.nsecsElapsed();
    lastTick = loaded;
    measuring = true;
    spinUntil([&] { return presenter.songWaveform() != nullptr || !presenter.waveform().isComputing(); });
    measuring = false;
    const qint64 ready = clock.nsecsElapsed();
    if (!presenter.songWaveform()) {
        std::fprintf(stderr, "window_waveform: no waveform for %s\n", argv[1]);
        return 1;
    }

    // From the cache: the same song picked again.
    PeaksPaintWatch watch(strip);
    watch.clock = &clock;
    spinUntil([&] { return strip->isSongWaveformDrawn(); });
    watch.paintedAt = -1;
    const qint64 picked = clock.nsecsElapsed();
    presenter.mediaPickerDidPickMediaItems({*item});
    spinUntil([&] { return !presenter.isLoading(); });
    const qint64 reloaded = clock.nsecsElapsed();
    spinUntil([&] { return watch.paintedAt >= 0; });

    std::printf("compute_s %.4f\nmax_gap_ms %.2f\ncached_pick_ms %.2f\ncached_load_ms %.2f\ncolumns %d\n",
                double(ready - loaded) / 1e9, double(maxGap) / 1e6, double(watch.paintedAt - picked) / 1e6,
                double(watch.paintedAt - reloaded) / 1e6, presenter.songWaveform()->columnCount());
    delete screen;
    return 0;
}
