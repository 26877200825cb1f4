#pragma once
// The mail composer: a window-modal sheet with the recipient field, the
// subject, the body and the attachment, each shown as the mail client gets
// it. Send hands the message to the desktop's mail client through
// `xdg-email` (arguments as a list, no shell); Cancel closes. The delegate hears sent, cancelled or
// failed once, and closes nothing itself: the composer closes on its own.
// When no mail client takes the message, the composer says so and offers to
// show the attached file in the file manager.
//
// Main thread only. Showing never waits; the answer comes from the event loop.
#include <QDialog>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace quorvel {

class MFMailComposeViewController;

enum class MFMailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

struct NSError;

class MFMailComposeViewControllerDelegate {
public:
    virtual ~MFMailComposeViewControllerDelegate() = default;
    // `error` is set only for Failed.
    virtual void mailComposeController(MFMailComposeViewController* controller, MFMailComposeResult result,
                                       const NSError* error) = 0;
};

class MFMailComposeViewController : public QDialog {
    Q_OBJECT
public:
    explicit MFMailComposeViewController(QWidget* parent = nullptr);
    ~MFMailComposeViewController() override;

    // Whether a mail client can be handed messages (xdg-email is on PATH).
    static bool canSendMail();
    // The program that takes the message.
    static QString mailProgram() { return QStringLiteral("xdg-email"); }

    void setMailComposeDelegate(MFMailComposeViewControllerDelegate* delegate) { delegate_ = delegate; }
    void setSubject(const QString& subject);
    void setToRecipients(const QStringList& recipients);
    void setMessageBody(const QString& body, bool isHTML);
    // The file goes with the message. The mail program names it after the file
    // and finds its type itself; `fileName` and `mimeType` are kept as asked.
    void addAttachment(const QString& path, const QString& mimeType, const QString& fileName);

    QString subject() const;
    QStringList toRecipients() const;
    QString messageBody() const { return body_; }
    // The body as the mail program gets it: plain text.
    QString sentBody() const;
    bool isBodyHTML() const { return bodyIsHTML_; }
    QString attachmentPath() const { return attachmentPath_; }
    QString attachmentMimeType() const { return attachmentMimeType_; }
    QString attachmentFileName() const { return attachmentFileName_; }
    // The arguments given to the mail program for the message as it stands.
    QStringList mailProgramArguments() const;

    // Shows the sheet over `parent`'s window (window-modal, no nested loop).
    void present();
    // The buttons.
    void send();
    void cancel();

signals:
    void composeFinished(MFMailComposeResult result);

protected:
    void reject() override;

private:
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void processFailed(QProcess::ProcessError error);
    void showFailure(const QString& why);
    void showInFileManager();
    void finishWith(MFMailComposeResult result, const QString& why = {});
    QString attachmentDescription() const;

    MFMailComposeViewControllerDelegate* delegate_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QTextBrowser* bodyView_ = nullptr;
    QLabel* attachment_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* showFile_ = nullptr;
    QPointer<QProcess> process_;
    QString body_;
    bool bodyIsHTML_ = false;
    QString attachmentPath_, attachmentMimeType_, attachmentFileName_;
    QString failure_;
    bool finished_ = false;
};

} // namespace quorvel
