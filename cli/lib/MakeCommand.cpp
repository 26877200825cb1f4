#include "MakeCommand.h"

#include "AVURLAsset.h"
#include "AudioExporterFor3G.h"
#include "CliContext.h"
#include "CommandLine.h"
#include "EditorFlows.h"
#include "EditorRules.h"
#include "LocalizedStrings.h"
#include "MPMediaLibrary.h"
#include "Paths.h"
#include "ProgressBar.h"
#include "Ringtune.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace quorvel::cli {

namespace {

// The road's screen, drawn on the terminal: a progress bar while exporting,
// and the end of the road.
class TerminalView : public EditorFlowsView {
  public:
    explicit TerminalView(QEventLoop& loop) : loop_(loop) {}

    void showProcessingNotice() override {}
    void dismissProcessingNotice() override {}
    void loadAndPlayEffectsAsset() override {}
    void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) override {
        screen_ = screen;
        screen->setCanPromptForRating(false);
        screen->setViewChangedHandler([this] {
            bar_.update(screen_->progress());
            if (screen_->outcome() != ExportViewController::Outcome::Running) loop_.quit();
        });
        // An export that could not even start may have ended already.
        if (screen->outcome() != ExportViewController::Outcome::Running) loop_.quit();
    }
    void flowStopped(const QString& reason) override {
        stopped_ = reason;
        loop_.quit();
    }

    const std::shared_ptr<ExportViewController>& screen() const { return screen_; }
    const QString& stopped() const { return stopped_; }
    void finishBar() { bar_.finish(); }

  private:
    QEventLoop& loop_;
    ProgressBar bar_{QStringLiteral("Exporting")};
    std::shared_ptr<ExportViewController> screen_;
    QString stopped_;
};

struct MakeSettings {
    float start = 0, length = SegmentControls::kShortestLength, fadeIn = 0, fadeOut = 0, speed = 0, pitch = 0;
};

// Where the working ringtone comes from: a library song, a song file or a recording.
std::shared_ptr<Ringtune> ringtuneForSource(const QString& source, bool recording, QString* error) {
    const QImage placeholder(Paths::resourcePath(QStringLiteral("no_artwork.png")));
    if (recording) {
        const QFileInfo file(source);
        if (!file.isFile() || !file.isReadable()) {
            *error = QStringLiteral("cannot read the recording %1").arg(source);
            return nullptr;
        }
        // The artist of a recording is the moment it was made, in the platform's date text.
        const QString now =
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
        auto r = std::make_shared<Ringtune>(QUrl::fromLocalFile(file.absoluteFilePath()),
                                            NSLocalizedString(QStringLiteral("recorded")), now, placeholder);
        r->setRecorded(true);
        r->setMp4(false);
        return r;
    }
    MPMediaLibrary& library = MPMediaLibrary::defaultMediaLibrary();
    std::optional<MPMediaItem> item;
    if (source.startsWith(QStringLiteral("ipod-library:"))) {
        library.scanNow();
        item = library.itemForURL(QUrl(source));
        if (!item) {
            *error = QStringLiteral("no song in the music library has the URL %1").arg(source);
            return nullptr;
        }
    } else {
        const QFileInfo file(source);
        if (!file.isFile() || !file.isReadable()) {
            *error = QStringLiteral("cannot read %1").arg(source);
            return nullptr;
        }
        item = library.addFile(file.absoluteFilePath());
        if (!item || item->isNull()) {
            *error = QStringLiteral("%1 is not a song the music library can use").arg(source);
            return nullptr;
        }
    }
    const QString extension = item->assetURL().fileName().section(QLatin1Char('.'), -1);
    if (MakeCommand::isRefusedPick(*item)) {
        *error = QStringLiteral("DRM: %1").arg(NSLocalizedString(QStringLiteral("drm_protected")));
        return nullptr;
    }
    QImage artwork = item->artworkImageWithSize(QSize(60, 60));
    auto r = std::make_shared<Ringtune>(item->assetURL(), item->title(), item->artist(),
                                        artwork.isNull() ? placeholder : artwork);
    r->setMp4(extension == QStringLiteral("m4a") || extension == QStringLiteral("m4v"));
    return r;
}

void removeWorkFiles() {
    QDir docs(Paths::documentsDirectory());
    for (const QString& name :
         docs.entryList({QStringLiteral(".tmpExport.*"), QStringLiteral(".processedEffect.wav")},
                        QDir::Files | QDir::Hidden))
        docs.remove(name);
}

} // namespace

bool MakeCommand::isRefusedPick(const MPMediaItem& item) {
    // Without an asset URL there is nothing to read: refused like a protected song.
    return item.assetURL().isEmpty() || item.isProtected() ||
           item.assetURL().fileName().section(QLatin1Char('.'), -1) == QStringLiteral("m4p");
}

const char* MakeCommand::help() {
    return "usage: quorvel-cli make SOURCE [--start S] [--length L] [--fade-in F] [--fade-out F]\n"
           "                          [--speed V] [--pitch P] [--recording]\n"
           "  Makes a ringtone from SOURCE (a library URL from `quorvel-cli songs`, or the path\n"
           "  of an audio file) and stores it. Values are those of the editor's controls and\n"
           "  snap like them:\n"
           "  --start S      start of the segment in seconds (default 0)\n"
           "  --length L     length in seconds, 3 to 40 (default 3; exports hold at most 39.9 s)\n"
           "  --fade-in F    0, 1.5 or 3 seconds (default 0)\n"
           "  --fade-out F   0, 1.5 or 3 seconds (default 0)\n"
           "  --speed V      -2 (half as long) .. 2 (twice as long), default 0\n"
           "  --pitch P      semitones: -12, -6, 0, 6 or 12 (default 0)\n"
           "  --recording    SOURCE is a WAV recording (mono, 16-bit, 44,100 Hz)\n"
           "  The last line printed is the stored ringtone's full path.\n";
}

int MakeCommand::run(const QStringList& args) {
    const QList<OptionSpec> options = {
        {QStringLiteral("start"), true},     {QStringLiteral("length"), true},
        {QStringLiteral("fade-in"), true},   {QStringLiteral("fade-out"), true},
        {QStringLiteral("speed"), true},     {QStringLiteral("pitch"), true},
        {QStringLiteral("recording"), false}};
    int exitCode = kExitOk;
    auto line = parseCommand(args, options, help(), 1, QStringLiteral("make takes one SOURCE"), &exitCode);
    if (!line) return exitCode;
    QString error;
    MakeSettings s;
    for (auto [name, target] :
         {std::pair{"start", &s.start}, std::pair{"length", &s.length}, std::pair{"fade-in", &s.fadeIn},
          std::pair{"fade-out", &s.fadeOut}, std::pair{"speed", &s.speed}, std::pair{"pitch", &s.pitch}}) {
        bool ok = true;
        *target = float(line->number(QString::fromLatin1(name), *target, &ok));
        if (!ok)
            return CliContext::usage(QStringLiteral("--%1 needs a number").arg(QString::fromLatin1(name)),
                                     QString::fromUtf8(help()));
    }

    CliContext context;
    auto ringtune =
        ringtuneForSource(line->positional().front(), line->has(QStringLiteral("recording")), &error);
    if (!ringtune) return CliContext::fail(error);

    const double songLength = CMTimeGetSeconds(AVURLAsset::URLAssetWithURL(ringtune->assetURL())->duration());
    if (std::isnan(songLength) || songLength <= 0)
        return CliContext::fail(QStringLiteral("%1 cannot be read as audio").arg(line->positional().front()));

    const float speed = EditorRules::snapSpeed(s.speed);
    const float pitch = EditorRules::snapPitch(s.pitch);
    ringtune->setSpeed(speed);
    ringtune->setPitch(pitch);

    QEventLoop loop;
    TerminalView view(loop);
    EditorFlows flows(view, IsAACHardwareEncoderAvailable());
    flows.setRingtune(ringtune);
    flows.controls().loadReset(float(songLength));
    flows.controls().setLength(s.length);
    flows.controls().setStart(s.start);
    flows.setFades(EditorRules::snapFade(s.fadeIn), EditorRules::snapFade(s.fadeOut));
    flows.setSpeedPosition(speed);
    flows.preProcessRingtoneForExport();
    loop.exec();
    view.finishBar();
    removeWorkFiles();

    if (!view.stopped().isEmpty()) return CliContext::fail(view.stopped());
    const auto& screen = view.screen();
    if (!screen) return CliContext::fail(QStringLiteral("the export did not start"));
    switch (screen->outcome()) {
    case ExportViewController::Outcome::Done: {
        const QString stored = ringtune->storedFilePath().toLocalFile();
        // The last line is the stored file, never an empty one.
        if (stored.isEmpty() || !QFileInfo(stored).isFile())
            return CliContext::fail(QStringLiteral("the export ended without a stored ringtone file"));
        CliContext::out(stored);
        return kExitOk;
    }
    case ExportViewController::Outcome::Error:
        return CliContext::fail(
            QStringLiteral("the ringtone was exported but not stored: %1").arg(screen->failureDescription()));
    default:
        return CliContext::fail(QStringLiteral("the export failed: %1").arg(screen->failureDescription()));
    }
}

} // namespace quorvel::cli
