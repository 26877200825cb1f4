#pragma once
// The export progress screen's widget, built from the "ExportView" layout:
// artwork, title and artist of the working ringtone, the coloured progress
// bar, the status label, the cancel (later exit) button, help once the export
// has finished, and a mail button for the stored file. It draws what its
// presenter holds and forwards the actions to it.
//
// The mail button opens the composer over the window with the stored file
// attached; whatever the composer's result, it closes and the screen stays.
// Once done, the stored file can also be saved as a copy, shown in its
// folder, sent to a phone and dragged out from the artwork.
// Destroying the widget while the export still runs (the window is closing)
// stops the export cleanly.
#include "screens/HelpWebViewController.h"
#include "ui/mail/MFMailComposeViewController.h"

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <memory>

namespace Ui {
class ExportView;
}

namespace quorvel {

class ExportViewController;
class FileDragSource;
class HelpWebViewWidget;
class WaysOutButtons;

class ExportViewWidget : public QWidget,
                         public HelpWebViewControllerDelegate,
                         public MFMailComposeViewControllerDelegate {
    Q_OBJECT
public:
    static constexpr const char* kMailMimeType = "audio/mp4";

    explicit ExportViewWidget(std::shared_ptr<ExportViewController> controller, QWidget* parent = nullptr);
    ~ExportViewWidget() override;

    const std::shared_ptr<ExportViewController>& controller() const { return controller_; }
    HelpWebViewWidget* helpController() const;
    // The open mail composer, if any.
    MFMailComposeViewController* mailComposer() const { return composer_; }
    // The done screen's Save a Copy, Show in Folder and Send to Phone, and
    // the artwork dragged out as the stored file.
    WaysOutButtons* waysOutButtons() const { return waysOutButtons_; }
    FileDragSource* artworkDrag() const { return artworkDrag_; }

    // The layout's actions.
    void cancelFinish();
    void showHelp();
    void sendMail();

    // HelpWebViewControllerDelegate
    void helpWebViewControllerDidFinish(HelpWebViewController* sender) override;
    // MFMailComposeViewControllerDelegate
    void mailComposeController(MFMailComposeViewController* composer, MFMailComposeResult result,
                               const NSError* error) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    std::unique_ptr<Ui::ExportView> ui_;
    std::shared_ptr<ExportViewController> controller_;
    QPointer<HelpWebViewWidget> help_;
    QPointer<MFMailComposeViewController> composer_;
    WaysOutButtons* waysOutButtons_ = nullptr;
    FileDragSource* artworkDrag_ = nullptr;
    QPixmap background_;
};

} // namespace quorvel
