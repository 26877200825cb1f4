#include "MakeCommand.h"

#include "CliContext.h"
#include "CliOutput.h"
#include "ProgressBar.h"
#include "app/StaleWorkFiles.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/core/DocumentsLock.h"
#include "platform/core/Paths.h"
#include "platform/core/TerminationSignals.h"
#include "platform/core/WorkerThreads.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "screens/MainViewController.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>

namespace quorvel::cli {

namespace {

// The editor's screen, drawn on the terminal: alerts become the error, a
// progress bar while exporting, and the end of the road.
class TerminalView : public QObject, public MainView {
  public:
    explicit TerminalView(QEventLoop& loop) : loop_(loop) {}

    void presentScreen(EditorScreen) override {}
    void dismissPresentedScreen() override {}
    void playTickSound() override {}
    void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) override {
        screen_ = screen;
        screen->setCanPromptForRating(false);
        connect(screen.get(), &ExportViewController::changed, this, [this] {
            bar_.update(screen_->progress());
            if (screen_->outcome() != ExportViewController::Outcome::Running) finish();
        });
        // An export that could not even start may have ended already.
        if (screen->outcome() != ExportViewController::Outcome::Running) finish();
    }
    void showAlert(const QString& title, const QString& message) override {
        if (alert_.isEmpty()) alert_ = title.isEmpty() ? message : QStringLiteral("%1: %2").arg(title, message);
        finish();
    }

    // Runs the event loop until the road ends (or, with `until`, until it holds).
    void wait(const std::function<bool()>& until = {}) {
        until_ = until;
        if (!finished_ && !(until_ && until_())) loop_.exec();
        until_ = nullptr;
    }
    void check() {
        if (until_ && until_()) loop_.quit();
    }
    void waitingForAnotherExport() override {
        if (isatty(STDERR_FILENO) == 1) std::fputs("quorvel-cli: waiting for another export to finish\n", stderr);
    }

    const std::shared_ptr<ExportViewController>& screen() const { return screen_; }
    const QString& alert() const { return alert_; }
    void finishBar() { bar_.finish(); }

  private:
    void finish() {
        finished_ = true;
        loop_.quit();
    }

    QEventLoop& loop_;
    ProgressBar bar_{QStringLiteral("Exporting")};
    std::shared_ptr<ExportViewController> screen_;
    QString alert_;
    bool finished_ = false;
    std::function<bool()> until_;
};

struct MakeSettings {
    float start = 0, length = SegmentControls::kShortestLength, fadeIn = 0, fadeOut = 0, speed = 0, pitch = 0;
    std::vector<std::pair<QString, float*>> fields() {
        return {{QStringLiteral("start"), &start},     {QStringLiteral("length"), &length},
                {QStringLiteral("fade-in"), &fadeIn},  {QStringLiteral("fade-out"), &fadeOut},
                {QStringLiteral("speed"), &speed},     {QStringLiteral("pitch"), &pitch}};
    }
};

QString seconds(double value) { return QString::number(std::round(value * 10.0) / 10.0); }

// Each value given that the editor's controls did not take as it was, once,
// with the value used: "--start 500 is past the end: using 125.9".
void reportAdjustments(const QCommandLineParser& line, const MakeSettings& asked, const EditorControls& controls) {
    const auto say = [&](const QString& name, float wanted, double used, const QString& why) {
        if (!line.isSet(name) || std::abs(double(wanted) - used) < 1e-3) return;
        CliOutput::message(QCoreApplication::translate("quorvel-cli", "quorvel-cli: --%1 %2 %3: using %4")
                               .arg(name, line.value(name), why, seconds(used)));
    };
    const SliderValue& length = controls.lengthSlider();
    say(QStringLiteral("length"), asked.length, controls.length(),
        asked.length < length.minimum ? QCoreApplication::translate("quorvel-cli", "is shorter than %1 s").arg(seconds(length.minimum))
        : length.maximum < SegmentControls::kLongestLength
            ? QCoreApplication::translate("quorvel-cli", "is longer than the song (%1 s)").arg(seconds(length.maximum))
            : QCoreApplication::translate("quorvel-cli", "is longer than %1 s").arg(seconds(length.maximum)));
    say(QStringLiteral("start"), asked.start, controls.start(),
        asked.start < 0 ? QCoreApplication::translate("quorvel-cli", "is before the beginning") : QCoreApplication::translate("quorvel-cli", "is past the end"));
    const QString fadeSteps = QCoreApplication::translate("quorvel-cli", "is not a fade step (0, 1.5 or 3)");
    say(QStringLiteral("fade-in"), asked.fadeIn, controls.fadeIn(), fadeSteps);
    say(QStringLiteral("fade-out"), asked.fadeOut, controls.fadeOut(), fadeSteps);
    say(QStringLiteral("speed"), asked.speed, controls.speed(), QCoreApplication::translate("quorvel-cli", "is not a speed step (-2, -1, 0, 1 or 2)"));
    say(QStringLiteral("pitch"), asked.pitch, controls.pitch(), QCoreApplication::translate("quorvel-cli", "is not a pitch step (-12, -6, 0, 6 or 12)"));
}

// RIFF and WAVE at the start: what the recorder writes.
bool isWavFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && (head.startsWith("RIFF") || head.startsWith("RF64")) && head.mid(8, 4) == "WAVE";
}

// A song the library offers as a WAV is decoded once, before the editor opens it.
std::optional<MPMediaItem> prepared(MPMediaLibrary& library, std::optional<MPMediaItem> item,
                                    const QString& source, QString* error) {
    if (!item || item->isProtected() || library.isItemReady(*item)) return item;
    std::fprintf(stderr, "Decoding %s...\n", item->title().toUtf8().constData());
    if (!library.prepareItemNow(*item)) {
        *error = QCoreApplication::translate("quorvel-cli", "%1 cannot be read as audio").arg(source);
        return std::nullopt;
    }
    return item;
}

// The song behind SOURCE, as the picker would hand it over: a library song or
// a song file added to the library for this run.
std::optional<MPMediaItem> itemForSource(const QString& source, QString* error) {
    MPMediaLibrary& library = MPMediaLibrary::defaultMediaLibrary();
    if (source.startsWith(QStringLiteral("ipod-library:"))) {
        library.scanNow();
        auto item = library.itemForURL(QUrl(source));
        if (!item) *error = QStringLiteral("no song in the music library has the URL %1").arg(source);
        return prepared(library, item, source, error);
    }
    const QFileInfo file(source);
    if (!file.isFile() || !file.isReadable()) {
        *error = QStringLiteral("cannot read %1").arg(source);
        return std::nullopt;
    }
    auto item = library.addFile(file.absoluteFilePath());
    if (!item || item->isNull()) {
        // A damaged song in a format the library decodes is refused like a damaged MP3.
        *error = MPMediaItem::decodedFormatForFile(source).isEmpty()
                     ? QStringLiteral("%1 is not a song the music library can use").arg(source)
                     : QCoreApplication::translate("quorvel-cli", "%1 cannot be read as audio").arg(source);
        return std::nullopt;
    }
    return prepared(library, item, source, error);
}

// Only while no other export uses them: when this road holds the lock, or nobody does.
void removeWorkFiles(const EditorFlows& flows) { StaleWorkFiles::remove(flows.holdsWorkFiles()); }

// Ctrl+C or SIGTERM: the export stops as in a closing window (a file that was
// already whole is stored), the work files go, and nothing half-made is left.
int stopOnSignal(MainViewController& editor, const TerminalView& view) {
    const auto& screen = view.screen();
    if (screen) screen->cancelForShutdown();
    WorkerThreads::joinAll(); // the cut and the engine stop before their files go
    removeWorkFiles(editor.flows());
    if (screen && screen->outcome() == ExportViewController::Outcome::Done && editor.ringtune()) {
        CliContext::out(editor.ringtune()->storedFilePath().toLocalFile());
        return kExitOk;
    }
    return CliContext::interrupted();
}

} // namespace

CliCommand MakeCommand::command() {
    const auto option = [](const char* shortName, const char* name, const char* description, const char* value) {
        return QCommandLineOption({QString::fromLatin1(shortName), QString::fromLatin1(name)},
                                  QString::fromUtf8(description), QString::fromLatin1(value));
    };
    return {QStringLiteral("make"), QStringLiteral("SOURCE [OPTIONS]"), QStringLiteral("make and store a ringtone"),
            QStringLiteral(
                "  Makes a ringtone from SOURCE (a library URL from `quorvel-cli songs`, or the path\n"
                "  or file: URL of an audio file) and stores it. Values are those of the editor's\n"
                "  controls and snap like them; a value that snaps or is out of range is said on\n"
                "  standard error with the value used. The last line printed is the stored\n"
                "  ringtone's full path.\n"),
            {option("s", "start", "start of the segment in seconds (default 0)", "S"),
             option("l", "length", "length in seconds, 3 to 40 (default 3; exports hold at most 39.9 s)", "L"),
             option("i", "fade-in", "0, 1.5 or 3 seconds (default 0)", "F"),
             option("o", "fade-out", "0, 1.5 or 3 seconds (default 0)", "F"),
             option("t", "speed", "-2 (half as long) .. 2 (twice as long), default 0", "V"),
             option("p", "pitch", "semitones: -12, -6, 0, 6 or 12 (default 0)", "P"),
             QCommandLineOption({QStringLiteral("r"), QStringLiteral("recording")},
                                QStringLiteral("SOURCE is a WAV recording (mono, 16-bit, 44,100 Hz)")),
             QCommandLineOption({QStringLiteral("n"), QStringLiteral("normalize")},
                                QStringLiteral("Normalize Loudness: -14 LUFS, true peak at most -1 dBTP"))},
            1,
            QStringLiteral("make takes one SOURCE"),
            &MakeCommand::run};
}

int MakeCommand::run(const QCommandLineParser& line) {
    QString error;
    MakeSettings s;
    for (const auto& [name, target] : s.fields()) {
        const std::optional<double> value = numberOption(line, name, *target);
        if (!value) return CliContext::usage(QStringLiteral("--%1 needs a number").arg(name), command().usageLine());
        *target = float(*value);
    }
    const std::optional<QString> source = CliContext::localPath(line.positionalArguments().front(), &error);
    if (!source) return CliContext::fail(error);

    CliContext context;
    QEventLoop loop;
    TerminalView view(loop);
    MainViewController editor(IsAACHardwareEncoderAvailable());
    editor.setView(&view);
    QObject::connect(&editor, &MainViewController::changed, &view, [&view] { view.check(); });
    if (line.isSet(QStringLiteral("recording"))) {
        const QFileInfo file(*source);
        if (!file.isFile() || !file.isReadable())
            return CliContext::fail(QCoreApplication::translate("quorvel-cli", "cannot read the recording %1").arg(*source));
        if (!isWavFile(*source))
            return CliContext::fail(QCoreApplication::translate("quorvel-cli", "%1 is not a WAV file: a recording must be one").arg(*source));
        editor.recorderViewControllerDidFinish(QUrl::fromLocalFile(file.absoluteFilePath()));
    } else {
        auto item = itemForSource(*source, &error);
        if (!item) return CliContext::fail(error);
        editor.mediaPickerDidPickMediaItems({*item});
        if (!view.alert().isEmpty()) return CliContext::fail(view.alert());
    }
    view.wait([&editor] { return !editor.isLoading(); });
    if (TerminationSignals::isRequested()) return stopOnSignal(editor, view);
    if (editor.songLoadFailed() || !editor.ringtune())
        return CliContext::fail(QCoreApplication::translate("quorvel-cli", "%1 cannot be read as audio").arg(*source));
    const std::shared_ptr<Ringtune> ringtune = editor.ringtune();

    editor.rangeValueChanged(s.length);
    editor.startValueChanged(s.start);
    editor.fadeInValueChanged(s.fadeIn);
    editor.fadeOutValueChanged(s.fadeOut);
    editor.speedValueChanged(s.speed);
    editor.pitchValueChanged(s.pitch);
    editor.normalizeLoudnessChanged(line.isSet(QStringLiteral("normalize")));
    reportAdjustments(line, s, editor.controls());
    editor.preProcessRingtoneForExport();
    view.wait();
    view.finishBar();
    if (TerminationSignals::isRequested()) return stopOnSignal(editor, view);
    removeWorkFiles(editor.flows());

    if (!view.alert().isEmpty()) return CliContext::fail(view.alert());
    const auto& screen = view.screen();
    if (!screen) return CliContext::fail(QCoreApplication::translate("quorvel-cli", "the export did not start"));
    switch (screen->outcome()) {
    case ExportViewController::Outcome::Done: {
        const QString stored = ringtune->storedFilePath().toLocalFile();
        // The last line is the stored file, never an empty one.
        if (stored.isEmpty() || !QFileInfo(stored).isFile())
            return CliContext::fail(QCoreApplication::translate("quorvel-cli", "the export ended without a stored ringtone file"));
        CliContext::out(CliOutput::escaped(stored));
        return kExitOk;
    }
    case ExportViewController::Outcome::Error:
        return CliContext::fail(
            QCoreApplication::translate("quorvel-cli", "the ringtone was exported but not stored: %1").arg(screen->failureDescription()));
    default:
        return CliContext::fail(QCoreApplication::translate("quorvel-cli", "the export failed: %1").arg(screen->failureDescription()));
    }
}

} // namespace quorvel::cli
