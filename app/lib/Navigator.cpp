#include "Navigator.h"

#include "AlertView.h"
#include "EditorPage.h"
#include "HelpWebViewWidget.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "MPMediaLibrary.h"
#include "MPMediaPickerController.h"
#include "Paths.h"
#include "Ringtune.h"
#include "ScreenStack.h"
#include "StartViewWidget.h"

#include <QFileInfo>

namespace quorvel {

Navigator::Navigator(ScreenStack& stack, MPMediaLibrary& library, QObject* parent)
    : QObject(parent), stack_(stack), library_(library) {
    connect(&stack_, &ScreenStack::screenRevealed, this, [this](QWidget* screen) {
        if (screen == editor_) editorDidAppear();
    });
}

Navigator::~Navigator() {
    if (picker_) picker_->dismiss(false);
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
    editor_ = new EditorPage;
    stack_.setRootScreen(editor_);
    editorDidAppear();
}

// Every time the editor shows again: with no working ringtone, the start screen.
void Navigator::editorDidAppear() {
    if (!ringtune_) presentStartScreen();
}

void Navigator::presentStartScreen() {
    if (start_ && stack_.isPresented(start_)) return;
    start_ = new StartViewWidget(library_);
    start_->controller().setDelegate(this);
    ScreenStack::Presentation how;
    how.animated = false;
    how.deleteOnDismiss = true;
    // The start screen has no way back: there is nothing below it to use yet.
    how.escape = [] {};
    stack_.present(start_, how);
}

void Navigator::showMediaPicker() {
    if (!stack_.isInteractive()) return;
    if (start_ && stack_.topScreen() == start_) {
        start_->controller().showMediaPicker();
        return;
    }
    if (picker_) return;
    picker_ = new MPMediaPickerController(stack_.dialogParent(), library_);
    picker_->setPrompt(NSLocalizedString(QStringLiteral("select_song")));
    picker_->setAllowsPickingMultipleItems(false);
    picker_->setDelegate(this);
    picker_->present();
}

void Navigator::showHelp() {
    if (!stack_.isInteractive() || (help_ && stack_.isPresented(help_))) return;
    HelpWebViewWidget* help = helpScreen();
    ScreenStack::Presentation how;
    how.style = ModalTransitionStyle::FlipHorizontal;
    how.escape = [help] { help->controller().done(); };
    stack_.present(help, how);
}

void Navigator::closePresented() { stack_.escape(); }

void Navigator::helpWebViewControllerDidFinish(HelpWebViewController*) { stack_.dismiss(help_, true); }

void Navigator::startViewControllerDidFinish(const std::vector<MPMediaItem>& mediaItemCollection) {
    pickMediaItems(mediaItemCollection);
    // Closing the start screen again is harmless: by now it is gone.
    if (start_) stack_.dismiss(start_, true);
}

void Navigator::mediaPickerDidPickMediaItems(MPMediaPickerController* picker,
                                            const std::vector<MPMediaItem>& mediaItemCollection) {
    if (picker) picker->dismiss(true);
    pickMediaItems(mediaItemCollection);
}

void Navigator::mediaPickerDidCancel(MPMediaPickerController* picker) {
    if (picker) picker->dismiss(true);
}

void Navigator::pickFile(const QString& path) {
    const std::optional<MPMediaItem> item = library_.addFile(QFileInfo(path).absoluteFilePath());
    if (!item || item->isNull()) {
        NSLog("Not a song: %@", path);
        AlertView::show(&stack_, tr("Not a song"),
                        tr("%1 is not an audio file Quorvel can use (MP3, M4A, WAV or AIFF).")
                            .arg(QFileInfo(path).fileName()),
                        QStringLiteral("OK"));
        return;
    }
    pickMediaItems({*item});
}

void Navigator::pickMediaItems(const std::vector<MPMediaItem>& items) {
    // Whatever the editor presents closes first; the editor then reappears.
    const bool presenting = !stack_.presentedScreens().isEmpty();
    if (start_) start_->dismissMediaPicker(true);
    stack_.dismissAll(true);
    if (!items.empty()) {
        const MPMediaItem& item = items.front();
        const QString extension = item.assetURL().isEmpty() ? QString() : QFileInfo(item.assetURL().path()).suffix();
        if (extension.isEmpty() || extension == QStringLiteral("m4p") || item.isProtected()) {
            AlertView::show(&stack_, QStringLiteral("DRM"), NSLocalizedString(QStringLiteral("drm_protected")),
                            QStringLiteral("OK"));
        } else {
            ringtune_ = ringtuneFromItem(item);
            emit ringtuneChanged();
        }
    }
    if (!presenting) editorDidAppear();
}

std::shared_ptr<Ringtune> Navigator::ringtuneFromItem(const MPMediaItem& item) const {
    QImage artwork = item.artworkImageWithSize(QSize(60, 60));
    if (artwork.isNull()) artwork = QImage(Paths::imagePath(QStringLiteral("no_artwork.png")));
    auto ringtune = std::make_shared<Ringtune>(item.assetURL(), item.title(), item.artist(), artwork);
    // The editor's controls start at their middle positions.
    ringtune->setSpeed(0.0f);
    ringtune->setPitch(0.0f);
    const QString extension = item.assetURL().path().section(QLatin1Char('.'), -1);
    ringtune->setMp4(extension == QStringLiteral("m4a") || extension == QStringLiteral("m4v"));
    return ringtune;
}

} // namespace quorvel
