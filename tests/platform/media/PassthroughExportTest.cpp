#include "MediaTestSongs.h"
#include "TestSupport.h"
#include "platform/media/AVAssetExportSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

struct Outcome {
    AVAssetExportSessionStatus status = AVAssetExportSessionStatusUnknown;
    NSError error;
    int completions = 0;
};

// Runs one export to the end and reports what the completion saw.
Outcome runExport(const QString& source, const QString& preset, const QString& output, const QString& fileType,
                  CMTimeRange range = kCMTimeRangeInvalid) {
    auto session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(source)),
                                                                preset);
    Outcome outcome;
    if (!session) return outcome;
    session->setOutputURL(QUrl::fromLocalFile(output));
    session->setOutputFileType(fileType);
    if (range.isValid()) session->setTimeRange(range);
    std::atomic<int> completions{0};
    session->exportAsynchronouslyWithCompletionHandler([&] { ++completions; });
    EXPECT_TRUE(waitFor([&] { return completions.load() > 0; }));
    outcome.status = session->status();
    outcome.error = session->error();
    session.reset(); // a second completion would have come before the first one returned
    outcome.completions = completions.load();
    return outcome;
}

CMTimeRange cut(double start, double duration) {
    return CMTimeRangeMake(CMTimeMakeWithSeconds(start, 1000), CMTimeMakeWithSeconds(duration, 1000));
}

} // namespace

TEST(PassthroughExport, CutsTwelvePointThreeSecondsWithinACodecFrame) {
    TempHome home;
    struct Case {
        const char* ext;
        QString fileType;
        const char* outExt;
        double frame; // seconds of one codec frame
        const char* codec;
    };
    const Case cases[] = {
        {"mp3", AVFileTypeQuickTimeMovie, "mov", 1152.0 / 44100, "mp3"},
        {"m4a", AVFileTypeAppleM4A, "m4a", 1024.0 / 44100, "aac"},
        {"wav", AVFileTypeWAVE, "wav", 1.0 / 44100, "pcm_s16le"},
        {"aif", AVFileTypeAIFF, "aif", 1.0 / 44100, "pcm_s16be"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        const QString out = home.documents() + QStringLiteral("/cut.") + QLatin1String(c.outExt);
        Outcome o = runExport(MediaTestSongs::shared().song(QLatin1String(c.ext)), AVAssetExportPresetPassthrough, out,
                              c.fileType, cut(30.0, 12.3));
        ASSERT_EQ(o.status, AVAssetExportSessionStatusCompleted) << o.error.localizedDescription.toStdString();
        EXPECT_EQ(o.completions, 1);
        EXPECT_EQ(probeStreamField(out, QStringLiteral("codec_name")), QLatin1String(c.codec));
        const double d = probeDuration(out);
        EXPECT_GE(d, 12.3 - 0.0005);
        EXPECT_LE(d, 12.3 + c.frame + 0.0005);
        QFile::remove(out);
    }
}
