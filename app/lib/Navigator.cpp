#include "Navigator.h"

#include "editor/Ringtune.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "screens/ExportViewController.h"
#include "screens/MainViewController.h"
#include "screens/PreviewPlayer.h"
#include "ui/common/AlertView.h"
#include "ui/common/ScreenStack.h"
#include "ui/editor/MainViewWidget.h"
#include "ui/export/ExportViewWidget.h"
#include "ui/filemanager/FileManagerViewWidget.h"
#include "ui/help/HelpWebViewWidget.h"
#include "ui/picker/MPMediaPickerController.h"
#include "ui/recorder/RecorderViewWidget.h"
#include "ui/start/StartViewWidget.h"

#include <QDir>
#include <QFileInfo>

namespace quorvel {

Navigator::Navigator(ScreenStack& stack, MPMediaLibrary& library, std::unique_ptr<PreviewPlayer> player,
                     QObject* parent)
    : QObject(parent), stack_(stack), library_(library),
      presenter_(std::make_unique<MainViewController>(IsAACHardwareEncoderAvailable(), std::move(player))) {
    presenter_->setMediaLibrary(&library_);
    connect(presenter_.get(), &MainViewController::changed, this, &Navigator::editorChanged);
    // A screen closed by other means than its did-finish (a transition that
    // ended after the presenter asked for the start screen).
    connect(&stack_, &ScreenStack::screenRevealed, this, [this](QWidget* screen) {
        if (screen == editor_ && presenter_->isStartScreenShown()) presentStartScreen();
    });
}

Navigator::~Navigator() {
    shutDown();
    if (picker_) picker_->dismiss(false);
    // The editor widget belongs to the stack; it lets go of the presenter when it goes.
    delete editor_.data();
}

const std::shared_ptr<Ringtune>& Navigator::ringtune() const { return presenter_->ringtune(); }

MainViewWidget* Navigator::editor() const { return editor_; }
ExportViewWidget* Navigator::exportScreen() const { return export_; }
RecorderViewWidget* Navigator::recorderScreen() const { return recorder_; }

void Navigator::shutDown() {
    // Now, not on a later turn of the event loop (there may be none): the
    // export screen's end stops a running export and waits for its worker.
    delete export_.data();
    delete recorder_.data();
}
StartViewWidget* Navigator::startScreen() const { return start_; }
// Made on first use (not at start-up, where it would only delay the first
// paint); from then on it is kept, and shown again it keeps its page.
HelpWebViewWidget* Navigator::helpScreen() {
    if (!help_) {
        help_ = new HelpWebViewWidget(&stack_);
        help_->hide();
        help_->controller().setDelegate(this);
    }
    return help_;
}
MPMediaPickerController* Navigator::editorPicker() const { return picker_; }

void Navigator::start() {
    editor_ = new MainViewWidget(*presenter_);
    editor_->setNavigation(this);
    stack_.setRootScreen(editor_);
    presenter_->viewDidAppear();
}

void Navigator::editorChanged() {
    if (presenter_->ringtune() != shownRingtune_) {
        shownRingtune_ = presenter_->ringtune();
        emit ringtuneChanged();
    }
    if (presenter_->isStartScreenShown() && !stack_.isTransitioning()) presentStartScreen();
}

void Navigator::presentStartScreen() {
    if (!editor_ || (start_ && stack_.isPresented(start_))) return;
    start_ = new StartViewWidget(library_);
    start_->controller().setDelegate(this);
    connect(start_, &StartViewWidget::recorderWanted, this, [this] { presenter_->startRecorder(); });
    connect(start_, &StartViewWidget::listWanted, this, [this] { presenter_->showFileManager(); });
    ScreenStack::Presentation how;
    how.animated = false;
    how.deleteOnDismiss = true;
    // The start screen has no way back: there is nothing below it to use yet.
    how.escape = [] {};
    stack_.present(start_, how);
}

// ---- the editor's destinations ----

void Navigator::presentScreen(EditorScreen screen) {
    switch (screen) {
    case EditorScreen::MediaPicker:
        presentEditorPicker();
        break;
    case EditorScreen::Help:
        presentHelp();
        break;
    case EditorScreen::Recorder:
        presentRecorder();
        break;
    case EditorScreen::FileManager: {
        if (!stack_.isInteractive()) break;
        auto* list = new FileManagerViewWidget;
        list->controller().setDelegate(this);
        ScreenStack::Presentation how;
        how.style = ModalTransitionStyle::CrossDissolve;
        how.deleteOnDismiss = true;
        QPointer<FileManagerViewWidget> guard(list);
        how.escape = [guard] {
            if (guard) guard->controller().back();
        };
        stack_.present(list, how);
        break;
    }
    }
}

void Navigator::presentRecorder() {
    if (!stack_.isInteractive() || (recorder_ && stack_.isPresented(recorder_))) return;
    recorder_ = new RecorderViewWidget();
    recorder_->controller().setDelegate(presenter_.get());
    ScreenStack::Presentation how;
    how.style = ModalTransitionStyle::CoverVertical;
    how.deleteOnDismiss = true;
    QPointer<RecorderViewWidget> guard(recorder_);
    how.escape = [guard] {
        if (guard) guard->controller().done();
    };
    stack_.present(recorder_, how);
}

void Navigator::presentExportScreen(const std::shared_ptr<ExportViewController>& screen) {
    if (export_ && stack_.isPresented(export_)) return;
    export_ = new ExportViewWidget(screen, &stack_);
    exportEndNotice_.watch(screen, stack_.window());
    ScreenStack::Presentation how;
    how.deleteOnDismiss = true;
    QPointer<ExportViewWidget> guard(export_);
    how.escape = [guard] {
        if (guard) guard->cancelFinish();
    };
    stack_.present(export_, how);
}

void Navigator::dismissPresentedScreen() {
    if (picker_) picker_->dismiss(true);
    picker_ = nullptr;
    if (start_) start_->dismissMediaPicker(true);
    stack_.dismissAll(true);
}

void Navigator::dismissScreensOverStartScreen() {
    if (!start_ || !stack_.isPresented(start_)) {
        dismissPresentedScreen();
        return;
    }
    const QList<QWidget*> screens = stack_.presentedScreens();
    const qsizetype at = screens.indexOf(start_.data());
    if (at + 1 < screens.size()) stack_.dismiss(screens[at + 1], true);
}

void Navigator::presentEditorPicker() {
    if (start_ && stack_.topScreen() == start_) {
        start_->controller().showMediaPicker();
        return;
    }
    if (picker_ || !stack_.isInteractive()) return;
    picker_ = new MPMediaPickerController(stack_.dialogParent(), library_);
    picker_->setPrompt(NSLocalizedString(QStringLiteral("select_song")));
    picker_->setAllowsPickingMultipleItems(false);
    picker_->setDelegate(this);
    picker_->present();
}

void Navigator::presentHelp() {
    if (!stack_.isInteractive() || (help_ && stack_.isPresented(help_))) return;
    HelpWebViewWidget* help = helpScreen();
    ScreenStack::Presentation how;
    how.style = ModalTransitionStyle::FlipHorizontal;
    how.escape = [help] { help->controller().done(); };
    stack_.present(help, how);
}

// ---- actions from the window ----

void Navigator::showMediaPicker() {
    if (!stack_.isInteractive()) return;
    if (start_ && stack_.topScreen() == start_) {
        start_->controller().showMediaPicker();
        return;
    }
    presenter_->showMediaPicker();
}

void Navigator::showHelp() {
    if (!stack_.isInteractive()) return;
    presenter_->showHelp();
}

void Navigator::closePresented() { stack_.escape(); }

bool Navigator::readyForPick() {
    const auto refuse = [this](const QString& message) {
        AlertView::show(&stack_, tr("Not now"), message, QStringLiteral("OK"));
        return false;
    };
    if (export_ && stack_.isPresented(export_)) {
        const std::shared_ptr<ExportViewController> screen = export_->controller();
        if (screen && screen->outcome() == ExportViewController::Outcome::Running)
            return refuse(tr("A ringtone is being exported. Choose the song again when it is done."));
        // Finished: the screen closes the way its own button closes it, so the
        // editor hears of it and takes picks again.
        presenter_->exportViewControllerDidFinish(screen.get());
    }
    if (recorder_ && stack_.isPresented(recorder_) && recorder_->controller().isTimerRunning())
        return refuse(tr("A recording is running. Stop it first."));
    if (presenter_->ringtune() && !presenter_->areControlsEnabled())
        return refuse(tr("Quorvel is still working on the ringtone. Choose the song again when it is done."));
    return true;
}

void Navigator::pickFile(const QString& path) {
    if (!readyForPick()) return;
    const QFileInfo file(path);
    if (!file.exists() || !file.isFile() || !file.isReadable()) {
        NSLog("Cannot open: %@", path);
        const QString why = !file.exists() ? tr("%1 does not exist.")
                            : !file.isFile() ? tr("%1 is not a file.")
                                             : tr("%1 cannot be read (no permission).");
        AlertView::show(&stack_, tr("Cannot open the song"), why.arg(QDir::toNativeSeparators(file.absoluteFilePath())),
                        tr("OK"));
        return;
    }
    const std::optional<MPMediaItem> item = library_.addFile(QFileInfo(path).absoluteFilePath());
    if (!item || item->isNull()) {
        NSLog("Not a song: %@", path);
        AlertView::show(&stack_, tr("Not a song"),
                        tr("%1 is not an audio file Quorvel can use.").arg(QFileInfo(path).fileName()),
                        tr("OK"));
        return;
    }
    pickMediaItems({*item});
}

void Navigator::pickMediaItems(const std::vector<MPMediaItem>& items) {
    if (readyForPick()) presenter_->mediaPickerDidPickMediaItems(items);
}

// ---- the delegates of the presented screens ----

void Navigator::helpWebViewControllerDidFinish(HelpWebViewController*) { presenter_->helpWebViewControllerDidFinish(); }

void Navigator::startViewControllerDidFinish(const std::vector<MPMediaItem>& mediaItemCollection) {
    presenter_->startViewControllerDidFinish(mediaItemCollection);
}

void Navigator::mediaPickerDidPickMediaItems(MPMediaPickerController*,
                                            const std::vector<MPMediaItem>& mediaItemCollection) {
    presenter_->mediaPickerDidPickMediaItems(mediaItemCollection);
}

void Navigator::mediaPickerDidCancel(MPMediaPickerController*) { presenter_->mediaPickerDidCancel(); }

void Navigator::fileManagerControllerDidFinish(FileManagerViewController*) {
    presenter_->fileManagerControllerDidFinish();
}

} // namespace quorvel
