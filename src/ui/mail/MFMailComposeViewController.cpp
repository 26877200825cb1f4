#include "ui/mail/MFMailComposeViewController.h"

#include "platform/core/Log.h"
#include "platform/core/NSError.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace quorvel {

MFMailComposeViewController::MFMailComposeViewController(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("mailComposer"));
    setWindowTitle(tr("New Message"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QHBoxLayout;
    form->addWidget(new QLabel(tr("To:"), this));
    to_ = new QLineEdit(this);
    to_->setObjectName(QStringLiteral("toRecipients"));
    to_->setAccessibleName(tr("To"));
    form->addWidget(to_);
    layout->addLayout(form);
    auto* subjectRow = new QHBoxLayout;
    subjectRow->addWidget(new QLabel(tr("Subject:"), this));
    subject_ = new QLineEdit(this);
    subject_->setObjectName(QStringLiteral("subject"));
    subject_->setAccessibleName(tr("Subject"));
    subjectRow->addWidget(subject_);
    layout->addLayout(subjectRow);
    bodyView_ = new QTextBrowser(this);
    bodyView_->setObjectName(QStringLiteral("messageBody"));
    bodyView_->setAccessibleName(tr("Message"));
    bodyView_->setOpenLinks(false);
    layout->addWidget(bodyView_, 1);
    attachment_ = new QLabel(this);
    attachment_->setObjectName(QStringLiteral("attachment"));
    layout->addWidget(attachment_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->hide();
    layout->addWidget(status_);
    auto* buttons = new QHBoxLayout;
    showFile_ = new QPushButton(tr("Show File"), this);
    showFile_->setObjectName(QStringLiteral("showFileButton"));
    showFile_->setAccessibleName(tr("Show the attached file"));
    showFile_->hide();
    buttons->addWidget(showFile_);
    buttons->addStretch(1);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    send_ = new QPushButton(tr("Send"), this);
    send_->setObjectName(QStringLiteral("sendButton"));
    send_->setDefault(true);
    buttons->addWidget(cancel_);
    buttons->addWidget(send_);
    layout->addLayout(buttons);
    resize(420, 360);
    connect(send_, &QPushButton::clicked, this, &MFMailComposeViewController::send);
    connect(cancel_, &QPushButton::clicked, this, &MFMailComposeViewController::cancel);
    connect(showFile_, &QPushButton::clicked, this, &MFMailComposeViewController::showInFileManager);
}

MFMailComposeViewController::~MFMailComposeViewController() {
    // A mail program still starting is left to finish on its own.
    if (process_) {
        process_->disconnect(this);
        process_->setParent(nullptr);
        connect(process_.data(), &QProcess::finished, process_.data(), &QObject::deleteLater);
        connect(process_.data(), &QProcess::errorOccurred, process_.data(), &QObject::deleteLater);
    }
}

bool MFMailComposeViewController::canSendMail() {
    return !QStandardPaths::findExecutable(mailProgram()).isEmpty();
}

void MFMailComposeViewController::setSubject(const QString& subject) { subject_->setText(subject); }

void MFMailComposeViewController::setToRecipients(const QStringList& recipients) {
    to_->setText(recipients.join(QStringLiteral(", ")));
}

void MFMailComposeViewController::setMessageBody(const QString& body, bool isHTML) {
    body_ = body;
    bodyIsHTML_ = isHTML;
    // The mail program takes a plain body: the sheet shows the text that goes.
    bodyView_->setPlainText(sentBody());
}

QString MFMailComposeViewController::sentBody() const {
    if (!bodyIsHTML_) return body_;
    QTextDocument document;
    document.setHtml(body_);
    return document.toPlainText();
}

void MFMailComposeViewController::addAttachment(const QString& path, const QString& mimeType,
                                                const QString& fileName) {
    attachmentPath_ = path;
    attachmentMimeType_ = mimeType;
    attachmentFileName_ = fileName;
    attachment_->setText(attachmentDescription());
}

// The mail program attaches the file under its own name and finds its type
// itself: the sheet names the file that goes, not the name and type asked for.
QString MFMailComposeViewController::attachmentDescription() const {
    const QFileInfo info(attachmentPath_);
    const QString size = info.isFile() ? QLocale().formattedDataSize(info.size()) : tr("missing");
    return tr("Attachment: %1 (%2)").arg(info.fileName(), size);
}

QString MFMailComposeViewController::subject() const { return subject_->text(); }

QStringList MFMailComposeViewController::toRecipients() const {
    QStringList list;
    for (const QString& part : to_->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString address = part.trimmed();
        if (!address.isEmpty()) list << address;
    }
    return list;
}

QStringList MFMailComposeViewController::mailProgramArguments() const {
    // Arguments reach the program as UTF-8 whatever the locale says.
    QStringList args{QStringLiteral("--utf8")};
    // xdg-email refuses an empty value.
    if (!subject().isEmpty()) args << QStringLiteral("--subject") << subject();
    const QString body = sentBody();
    if (!body.isEmpty()) args << QStringLiteral("--body") << body;
    if (!attachmentPath_.isEmpty()) args << QStringLiteral("--attach") << QFileInfo(attachmentPath_).absoluteFilePath();
    // Each address as the value of --to, so that none reads as an option.
    for (const QString& address : toRecipients()) args << QStringLiteral("--to") << address;
    return args;
}

void MFMailComposeViewController::present() {
    if (parentWidget()) {
        const QRect area = parentWidget()->window()->geometry();
        move(area.center() - rect().center());
    }
    open();
}

void MFMailComposeViewController::send() {
    if (process_ || finished_) return;
    if (!attachmentPath_.isEmpty() && !QFileInfo(attachmentPath_).isFile()) {
        showFailure(tr("The ringtone's file is missing, so it cannot be sent."));
        return;
    }
    const QString program = QStandardPaths::findExecutable(mailProgram());
    if (program.isEmpty()) {
        showFailure(tr("No mail program was found (%1 is missing).").arg(mailProgram()));
        return;
    }
    send_->setEnabled(false);
    status_->setText(tr("Handing the message to your mail program…"));
    status_->show();
    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->setStandardOutputFile(QProcess::nullDevice());
    connect(process_.data(), &QProcess::finished, this, &MFMailComposeViewController::processFinished);
    connect(process_.data(), &QProcess::errorOccurred, this, &MFMailComposeViewController::processFailed);
    process_->start(program, mailProgramArguments());
}

void MFMailComposeViewController::processFinished(int exitCode, QProcess::ExitStatus status) {
    if (process_) process_->deleteLater();
    process_ = nullptr;
    if (status == QProcess::NormalExit && exitCode == 0) {
        finishWith(MFMailComposeResult::Sent);
        return;
    }
    showFailure(tr("Your mail program did not take the message (%1 ended with status %2).")
                    .arg(mailProgram())
                    .arg(exitCode));
}

void MFMailComposeViewController::processFailed(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return; // the finished signal follows for the others
    if (process_) process_->deleteLater();
    process_ = nullptr;
    showFailure(tr("The mail program could not be started."));
}

void MFMailComposeViewController::showFailure(const QString& why) {
    failure_ = why;
    NSLog("Mail not sent: %@", why);
    status_->setText(why + QLatin1Char(' ') + tr("You can attach the file yourself."));
    status_->show();
    send_->setEnabled(false);
    showFile_->setVisible(!attachmentPath_.isEmpty() && QFileInfo(attachmentPath_).isFile());
    cancel_->setText(tr("Close"));
}

void MFMailComposeViewController::showInFileManager() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(attachmentPath_).absolutePath()));
}

void MFMailComposeViewController::cancel() {
    if (!failure_.isEmpty()) finishWith(MFMailComposeResult::Failed, failure_);
    else finishWith(MFMailComposeResult::Cancelled);
}

void MFMailComposeViewController::reject() { cancel(); }

void MFMailComposeViewController::finishWith(MFMailComposeResult result, const QString& why) {
    if (finished_) return;
    finished_ = true;
    hide();
    QDialog::done(result == MFMailComposeResult::Sent ? Accepted : Rejected);
    emit composeFinished(result);
    if (delegate_) {
        if (result == MFMailComposeResult::Failed) {
            NSError error;
            error.domain = QStringLiteral("MFMailComposeErrorDomain");
            error.code = 1;
            error.localizedDescription = why;
            delegate_->mailComposeController(this, result, &error);
        } else {
            delegate_->mailComposeController(this, result, nullptr);
        }
    }
}

} // namespace quorvel
