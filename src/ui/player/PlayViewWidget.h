#pragma once
// The stored-ringtone player's widget, built from the "PlayView" layout: the
// artwork, "Bells-2", the artist, the length, the play/stop button, mail and
// delete. It owns its presenter; the mail composer and the delete
// confirmation are shown over the window from here.
#include "screens/HelpWebViewController.h"
#include "screens/PlayViewController.h"
#include "ui/common/ActionSheet.h"
#include "ui/help/HelpWebViewWidget.h"
#include "ui/mail/MFMailComposeViewController.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class PlayView;
}

namespace quorvel {

class FileDragSource;
class WaysOutButtons;

class PlayViewWidget : public QWidget, public PlayView, public MFMailComposeViewControllerDelegate,
                       public HelpWebViewControllerDelegate {
    Q_OBJECT
public:
    explicit PlayViewWidget(std::unique_ptr<PlayViewController> controller, QWidget* parent = nullptr);
    ~PlayViewWidget() override;

    PlayViewController& controller() { return *controller_; }
    MFMailComposeViewController* mailComposer() const { return composer_; }
    ActionSheet* actionSheet() const { return sheet_; }
    // Save a Copy, Show in Folder, Send to Phone, and the artwork dragged out as the file.
    WaysOutButtons* waysOutButtons() const { return waysOutButtons_; }
    FileDragSource* artworkDrag() const { return artworkDrag_; }

    // PlayView
    void showActionSheet(const QString& title, const QString& destructiveTitle, const QString& cancelTitle) override;
    void presentMailComposer(const RingtoneMail& mail) override;
    void presentHelp() override;

    // MFMailComposeViewControllerDelegate
    void mailComposeController(MFMailComposeViewController* controller, MFMailComposeResult result,
                               const NSError* error) override;
    // HelpWebViewControllerDelegate
    void helpWebViewControllerDidFinish(HelpWebViewController* sender) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();

    std::unique_ptr<Ui::PlayView> ui_;
    std::unique_ptr<PlayViewController> controller_;
    QPointer<MFMailComposeViewController> composer_;
    QPointer<ActionSheet> sheet_;
    QPointer<HelpWebViewWidget> help_;
    WaysOutButtons* waysOutButtons_ = nullptr;
    FileDragSource* artworkDrag_ = nullptr;
    QPixmap background_;
    QString shownImage_;
};

} // namespace quorvel
