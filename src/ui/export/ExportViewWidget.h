#pragma once
// The export progress screen's widget, built from the "ExportView" layout:
// artwork, title and artist of the working ringtone, the coloured progress
// bar, the status label, the cancel (later exit) button, help once the export
// has finished, and a mail button for the stored file. It draws what its
// presenter holds and forwards the actions to it.
//
// The mail composer is not ours: sendMail() emits sendMailRequested() and the
// navigation presents the composer. Destroying the widget while the export
// still runs (the window is closing) stops the export cleanly.
#include "HelpWebViewController.h"

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
class HelpWebViewWidget;

class ExportViewWidget : public QWidget, public HelpWebViewControllerDelegate {
    Q_OBJECT
public:
    static constexpr const char* kMailMimeType = "audio/mp4";

    explicit ExportViewWidget(std::shared_ptr<ExportViewController> controller, QWidget* parent = nullptr);
    ~ExportViewWidget() override;

    const std::shared_ptr<ExportViewController>& controller() const { return controller_; }
    HelpWebViewWidget* helpController() const;

    // The layout's actions.
    void cancelFinish();
    void showHelp();
    void sendMail();

    // HelpWebViewControllerDelegate
    void helpWebViewControllerDidFinish(HelpWebViewController* sender) override;

signals:
    // The mail button: a message with the stored ringtone attached. The
    // subject and body are the string table's texts; the body is HTML.
    void sendMailRequested(const QString& subject, const QString& htmlBody, const QUrl& attachment,
                           const QString& attachmentName, const QString& mimeType);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    std::unique_ptr<Ui::ExportView> ui_;
    std::shared_ptr<ExportViewController> controller_;
    QPointer<HelpWebViewWidget> help_;
    QPixmap background_;
};

} // namespace quorvel
