#include "ui/export/ExportViewWidget.h"

#include "editor/Ringtune.h"
#include "platform/core/LocalizedStrings.h"
#include "screens/ExportViewController.h"
#include "ui/common/ScreenStack.h"
#include "ui/controls/UIImage.h"
#include "ui/help/HelpWebViewWidget.h"
#include "ui/waysout/FileDragSource.h"
#include "ui/waysout/WaysOutButtons.h"
#include "ui_ExportView.h"

#include <QFileInfo>
#include <QPainter>
#include <QStyle>

namespace quorvel {

ExportViewWidget::ExportViewWidget(std::shared_ptr<ExportViewController> controller, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::ExportView>()), controller_(std::move(controller)) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("ExportView"));
    background_ = UIImage::imageNamed(QStringLiteral("QuorvelBG.png"));
    ui_->progressView->setFixedHeight(11);

    if (const auto& ringtune = controller_->ringtune()) {
        QPixmap artwork = QPixmap::fromImage(ringtune->artwork());
        if (artwork.isNull()) artwork = UIImage::imageNamed(QStringLiteral("no_artwork.png"));
        ui_->artwork->setPixmap(artwork);
        ui_->nowPlayingLabel->setText(ringtune->title());
        ui_->nowPlayingArtist->setText(ringtune->artist());
    }
    ui_->helpLabel->hide();
    ui_->helpButton->hide();

    connect(ui_->cancelButton, &QPushButton::clicked, this, &ExportViewWidget::cancelFinish);
    connect(ui_->helpButton, &QPushButton::clicked, this, &ExportViewWidget::showHelp);
    connect(ui_->mailButton, &QPushButton::clicked, this, &ExportViewWidget::sendMail);
    RingtoneWaysOut& waysOut = controller_->waysOut();
    waysOutButtons_ = new WaysOutButtons(
        waysOut, {ui_->saveCopyButton, ui_->showInFolderButton, ui_->sendToPhoneButton, ui_->waysOutLabel}, this);
    ExportViewController* c = controller_.get();
    artworkDrag_ = new FileDragSource(ui_->artwork, [c](const QPoint&) {
        return c->areWaysOutShown() ? c->waysOut().dragData() : nullptr;
    });
    connect(controller_.get(), &ExportViewController::changed, this, &ExportViewWidget::refresh);
    refresh();
}

ExportViewWidget::~ExportViewWidget() {
    // Going while the export runs means the window is closing.
    if (controller_->outcome() == ExportViewController::Outcome::Running) controller_->cancelForShutdown();
    if (help_) {
        help_->controller().setDelegate(nullptr);
        help_->deleteLater();
    }
    if (composer_) {
        composer_->setMailComposeDelegate(nullptr);
        composer_->deleteLater();
    }
}

HelpWebViewWidget* ExportViewWidget::helpController() const { return help_; }

void ExportViewWidget::refresh() {
    ui_->progressView->setProgress(controller_->progress());
    if (!controller_->labelKey().isEmpty()) ui_->label->setText(NSLocalizedString(controller_->labelKey()));
    if (!controller_->cancelButtonImage().isEmpty() && !ui_->cancelButton->property("exitImage").toBool()) {
        const QPixmap exit = UIImage::imageNamed(controller_->cancelButtonImage());
        ui_->cancelButton->setText(QString());
        ui_->cancelButton->setIcon(exit);
        ui_->cancelButton->setIconSize(UIImage::pointSize(exit).toSize());
        ui_->cancelButton->setToolTip(tr("Close"));
        ui_->cancelButton->setProperty("exitImage", true);
        ui_->cancelButton->style()->unpolish(ui_->cancelButton);
        ui_->cancelButton->style()->polish(ui_->cancelButton);
    }
    ui_->helpLabel->setVisible(controller_->isHelpVisible());
    ui_->helpButton->setVisible(controller_->isHelpVisible());
    // Only a stored ringtone has a file to send.
    const auto& ringtune = controller_->ringtune();
    ui_->mailButton->setVisible(controller_->outcome() == ExportViewController::Outcome::Done && ringtune &&
                                ringtune->storedFilePath().isLocalFile());
    waysOutButtons_->setShown(controller_->areWaysOutShown());
}

void ExportViewWidget::cancelFinish() { controller_->cancelFinish(); }

void ExportViewWidget::showHelp() {
    ScreenStack* stack = ScreenStack::stackOf(this);
    if (!stack || !stack->isInteractive() || (help_ && stack->isPresented(help_))) return;
    if (!help_) {
        help_ = new HelpWebViewWidget(stack);
        help_->controller().setDelegate(this);
    }
    ScreenStack::Presentation how;
    how.style = ModalTransitionStyle::FlipHorizontal;
    HelpWebViewWidget* help = help_;
    how.escape = [help] { help->controller().done(); };
    stack->present(help_, how);
}

void ExportViewWidget::helpWebViewControllerDidFinish(HelpWebViewController*) {
    if (ScreenStack* stack = ScreenStack::stackOf(this); stack && help_) stack->dismiss(help_, true);
}

void ExportViewWidget::sendMail() {
    const auto& ringtune = controller_->ringtune();
    if (!ringtune || !ringtune->storedFilePath().isLocalFile()) return;
    if (composer_) {
        composer_->raise();
        return;
    }
    ScreenStack* stack = ScreenStack::stackOf(this);
    composer_ = new MFMailComposeViewController(stack ? stack->dialogParent() : window());
    composer_->setAttribute(Qt::WA_DeleteOnClose);
    composer_->setMailComposeDelegate(this);
    composer_->setSubject(NSLocalizedString(QStringLiteral("mail_subject")));
    // The stored file goes, under its stored name ("Bells-2.m4r").
    const QString stored = ringtune->storedFilePath().toLocalFile();
    composer_->addAttachment(stored, QString::fromLatin1(kMailMimeType), QFileInfo(stored).fileName());
    composer_->setMessageBody(NSLocalizedString(QStringLiteral("mail_body")), true);
    composer_->present();
}

void ExportViewWidget::mailComposeController(MFMailComposeViewController* composer, MFMailComposeResult,
                                             const NSError*) {
    composer->setMailComposeDelegate(nullptr);
    composer->deleteLater();
    composer_ = nullptr;
}

void ExportViewWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!background_.isNull())
        p.drawTiledPixmap(rect(), background_);
    else
        p.fillRect(rect(), QColor(16, 30, 62));
}

} // namespace quorvel
