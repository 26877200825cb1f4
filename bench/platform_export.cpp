// The platform path of a ringtone, as the editor drives it for a song whose
// speed and pitch are unchanged: the library importer cuts 39.9 s from 60 s
// into the work file (passthrough; MP3 through the movie), then the export
// service writes the ringtone with fades of 1.5 s and 3 s (AppleM4A).
// Prints the seconds of the whole path.
//   platform_export <song file> <output .m4r>
#include "editor/Ringtune.h"
#include "pipeline/TSLibraryImport.h"
#include "platform/core/WorkerThreads.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/musiclibrary/MPMediaLibrary.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

using namespace quorvel;

namespace {

// Blocks until the completion given to `start` has run.
template <class Start> void runAndWait(Start start) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    start([&] {
        std::lock_guard lock(m);
        done = true;
        cv.notify_all();
    });
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return done; });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <song> <output.m4r>\n", argv[0]);
        return 2;
    }
    QTemporaryDir home;
    qputenv("QUORVEL_HOME", home.path().toUtf8());
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    auto item = library.addFile(QString::fromLocal8Bit(argv[1]));
    if (!item) return 1;
    const QString output = QString::fromLocal8Bit(argv[2]);
    QFile::remove(output);
    const QString work = home.path() + QStringLiteral("/.tmpExport.") + item->libraryExtension();

    const auto start = std::chrono::steady_clock::now();
    auto ringtune = std::make_shared<Ringtune>(item->assetURL(), item->title(), item->artist(), QImage());
    ringtune->setTimeRange(CMTimeRangeMake(CMTimeMake(60000, 1000), CMTimeMake(39900, 1000)));
    auto importer = TSLibraryImport::create();
    AVAssetExportSessionStatus imported = AVAssetExportSessionStatusUnknown;
    runAndWait([&](auto done) {
        importer->importRingtune(ringtune, QUrl::fromLocalFile(work), [&, done](TSLibraryImport* i) {
            imported = i->status();
            done();
        });
    });
    if (imported != AVAssetExportSessionStatusCompleted) return 1;
    const double importSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    auto fades = AVMutableAudioMixInputParameters::audioMixInputParametersWithTrack(0);
    fades->setVolume(0.0f, kCMTimeZero);
    fades->setVolumeRamp(0.0f, 1.0f, CMTimeRangeMake(CMTimeMake(0, 10), CMTimeMake(15, 10)));
    fades->setVolumeRamp(1.0f, 0.0f, CMTimeRangeMake(CMTimeMake(369, 10), CMTimeMake(30, 10)));
    auto mix = AVAudioMix::audioMix();
    mix->setInputParameters({fades});
    auto session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(work)),
                                                                AVAssetExportPresetAppleM4A);
    session->setOutputURL(QUrl::fromLocalFile(output));
    session->setOutputFileType(AVFileTypeAppleM4A);
    session->setAudioMix(mix);
    session->setTimeRange(CMTimeRangeMake(CMTimeMake(0, 10), CMTimeMake(399, 10)));
    runAndWait([&](auto done) { session->exportAsynchronouslyWithCompletionHandler(done); });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (session->status() != AVAssetExportSessionStatusCompleted) {
        std::fprintf(stderr, "%s\n", qPrintable(session->error().localizedDescription));
        return 1;
    }
    std::printf("import=%.6f\nseconds=%.6f\n", importSeconds, seconds);
    WorkerThreads::joinAll(); // before the statics the workers use go
    return 0;
}
