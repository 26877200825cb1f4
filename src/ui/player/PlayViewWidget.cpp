#include "ui/player/PlayViewWidget.h"

#include "ui/common/ActionSheet.h"
#include "ui/common/ScreenStack.h"
#include "ui/controls/UIImage.h"
#include "ui/help/HelpWebViewWidget.h"
#include "ui/waysout/FileDragSource.h"
#include "ui/waysout/WaysOutButtons.h"
#include "ui_PlayView.h"

#include <QHideEvent>
#include <QKeyEvent>
#include <QPainter>

namespace quorvel {

namespace {

// The button's images at the size of "BigPlay.png": "stop.png" is drawn
// smaller for the editor's button, and here stands in the same place.
QPixmap buttonImage(const QString& name, qreal devicePixelRatio) {
    const QSizeF size = UIImage::pointSize(UIImage::imageNamed(QStringLiteral("BigPlay.png"), devicePixelRatio));
    const QPixmap image = UIImage::imageNamed(name, devicePixelRatio);
    if (image.isNull() || size.isEmpty() || UIImage::pointSize(image) == size) return image;
    // From the largest file there is, so that it is scaled down where it can be.
    const QPixmap source = UIImage::imageNamed(name, 2.0);
    QPixmap scaled = source.scaled((size * devicePixelRatio).toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(devicePixelRatio);
    return scaled;
}

} // namespace

PlayViewWidget::PlayViewWidget(std::unique_ptr<PlayViewController> controller, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::PlayView>()), controller_(std::move(controller)) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("PlayView"));
    setFocusPolicy(Qt::StrongFocus);
    background_ = UIImage::imageNamed(QStringLiteral("QuorvelBG.png"));
    ui_->artwork->setPixmap(UIImage::imageNamed(QStringLiteral("no_artwork.png")));
    ui_->cancelButton->setIcon(UIImage::imageNamed(QStringLiteral("exit.png")));
    controller_->setView(this);
    connect(controller_.get(), &PlayViewController::changed, this, &PlayViewWidget::refresh);
    connect(ui_->playStopButton, &QPushButton::clicked, this, [this] { controller_->playOrPauseMusic(); });
    connect(ui_->mailButton, &QPushButton::clicked, this, [this] { controller_->sendMail(); });
    connect(ui_->deleteButton, &QPushButton::clicked, this, [this] { controller_->deleteRingtone(); });
    connect(ui_->cancelButton, &QPushButton::clicked, this, [this] { controller_->cancelFinish(); });
    connect(ui_->helpButton, &QPushButton::clicked, this, [this] { controller_->showHelp(); });
    waysOutButtons_ = new WaysOutButtons(controller_->waysOut(),
                                         {ui_->saveCopyButton, ui_->showInFolderButton, ui_->sendToPhoneButton,
                                          ui_->label},
                                         this);
    PlayViewController* c = controller_.get();
    artworkDrag_ = new FileDragSource(ui_->artwork, [c](const QPoint&) { return c->waysOut().dragData(); });
    controller_->viewDidLoad();
    refresh();
    ui_->playStopButton->setFocus();
}

PlayViewWidget::~PlayViewWidget() {
    controller_->setView(nullptr);
    controller_->viewDidDisappear();
    if (composer_) {
        composer_->setMailComposeDelegate(nullptr);
        composer_->deleteLater();
    }
}

void PlayViewWidget::refresh() {
    const PlayViewController& c = *controller_;
    if (!c.artwork().isNull()) ui_->artwork->setPixmap(QPixmap::fromImage(c.artwork()));
    ui_->nowPlayingLabel->setText(c.nowPlayingText());
    ui_->nowPlayingArtist->setText(c.nowPlayingArtistText());
    ui_->sec->setText(c.secText());
    ui_->sec->setHidden(c.isSecHidden());
    ui_->labelSec->setHidden(c.isSecHidden());
    ui_->helpButton->setHidden(c.isHelpHidden());
    ui_->helpLabel->setHidden(c.isHelpHidden());
    ui_->label->setText(c.notice());
    if (shownImage_ != c.playStopButtonImage()) {
        shownImage_ = c.playStopButtonImage();
        ui_->playStopButton->setIcon(buttonImage(shownImage_, devicePixelRatioF()));
        ui_->playStopButton->setProperty("imageName", shownImage_);
    }
}

void PlayViewWidget::showActionSheet(const QString& title, const QString& destructiveTitle,
                                     const QString& cancelTitle) {
    if (sheet_) return;
    QPointer<PlayViewWidget> self(this);
    sheet_ = ActionSheet::show(ScreenStack::stackOf(this), title, cancelTitle, destructiveTitle, {},
                               [self](int index) {
                                   if (!self) return;
                                   self->sheet_ = nullptr;
                                   self->controller_->actionSheetDidDismissWithButtonIndex(index);
                               });
}

void PlayViewWidget::presentMailComposer(const RingtoneMail& mail) {
    if (composer_) {
        composer_->raise();
        return;
    }
    ScreenStack* stack = ScreenStack::stackOf(this);
    composer_ = new MFMailComposeViewController(stack ? stack->dialogParent() : window());
    composer_->setAttribute(Qt::WA_DeleteOnClose);
    composer_->setMailComposeDelegate(this);
    composer_->setSubject(mail.subject);
    composer_->addAttachment(mail.attachmentPath, mail.mimeType, mail.attachmentFileName);
    composer_->setMessageBody(mail.htmlBody, true);
    composer_->present();
}

void PlayViewWidget::mailComposeController(MFMailComposeViewController* composer, MFMailComposeResult,
                                           const NSError*) {
    composer->setMailComposeDelegate(nullptr);
    composer->deleteLater();
    composer_ = nullptr;
    // Whatever the result, the user goes back to the list.
    controller_->mailComposeControllerDidFinish();
}

void PlayViewWidget::presentHelp() {
    ScreenStack* stack = ScreenStack::stackOf(this);
    if (!stack) return;
    if (!help_) {
        help_ = new HelpWebViewWidget;
        help_->controller().setDelegate(this);
    }
    ScreenStack::Presentation how;
    how.style = ModalTransitionStyle::FlipHorizontal;
    how.deleteOnDismiss = true;
    stack->present(help_, how);
}

void PlayViewWidget::helpWebViewControllerDidFinish(HelpWebViewController*) {
    ScreenStack* stack = ScreenStack::stackOf(this);
    if (stack && help_) stack->dismiss(help_, true);
}

void PlayViewWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!background_.isNull()) p.drawTiledPixmap(rect(), background_);
    else p.fillRect(rect(), QColor(16, 28, 40));
}

void PlayViewWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Leaving the screen stops the sound; a minimised window plays on.
    if (!event->spontaneous()) controller_->viewDidDisappear();
}

void PlayViewWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        controller_->playOrPauseMusic();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace quorvel
