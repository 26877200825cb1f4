#include "MFMailComposeViewController.h"
#include "NSError.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class Result : public MFMailComposeViewControllerDelegate {
public:
    void mailComposeController(MFMailComposeViewController*, MFMailComposeResult r, const NSError* e) override {
        results.push_back(r);
        hadError = e != nullptr;
    }
    std::vector<MFMailComposeResult> results;
    bool hadError = false;
};

class PathGuard {
public:
    explicit PathGuard(const QByteArray& path) : old_(qgetenv("PATH")) { qputenv("PATH", path); }
    ~PathGuard() { qputenv("PATH", old_); }

private:
    QByteArray old_;
};

} // namespace

TEST(MailComposer, AFailingMailClientIsReportedAndOffersTheFile) {
    test::TempHome home;
    const QString bin = home.path() + "/bin";
    QDir().mkpath(bin);
    QFile script(bin + "/xdg-email");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexit 3\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile attachment(home.path() + "/Bells-2.m4r");
    ASSERT_TRUE(attachment.open(QIODevice::WriteOnly));
    attachment.write("x");
    attachment.close();
    PathGuard path(bin.toUtf8());

    MFMailComposeViewController composer;
    Result result;
    composer.setMailComposeDelegate(&result);
    composer.addAttachment(attachment.fileName(), "audio/mp4", "Bells-2.m4r");
    composer.setMessageBody("<p>Hi <b>there</b></p>", true);
    composer.present();
    composer.send();
    ASSERT_TRUE(test::waitUntil([&] { return composer.findChild<QPushButton*>("showFileButton")->isVisibleTo(&composer); }, 10000));
    EXPECT_TRUE(result.results.empty()); // the user reads why first
    composer.cancel();
    ASSERT_EQ(result.results.size(), 1u);
    EXPECT_EQ(result.results[0], MFMailComposeResult::Failed);
    EXPECT_TRUE(result.hadError);
}

TEST(MailComposer, AMissingMailClientFailsAtOnceAndCancelReportsCancelled) {
    test::TempHome home;
    PathGuard path((home.path() + "/empty").toUtf8());
    EXPECT_FALSE(MFMailComposeViewController::canSendMail());
    MFMailComposeViewController composer;
    Result result;
    composer.setMailComposeDelegate(&result);
    composer.present();
    composer.send();
    EXPECT_TRUE(composer.findChild<QLabel*>("status")->text().contains("xdg-email"));
    composer.cancel();
    composer.cancel(); // reported once
    ASSERT_EQ(result.results.size(), 1u);
    EXPECT_EQ(result.results[0], MFMailComposeResult::Failed);

    MFMailComposeViewController second;
    Result other;
    second.setMailComposeDelegate(&other);
    second.setToRecipients({"-x@example.org", "b@example.org"});
    second.setMessageBody("<p>Hi <b>there</b></p>", true);
    const QStringList args = second.mailProgramArguments();
    // Addresses after "--": one starting with "-" is not an option; the body goes as plain text.
    EXPECT_EQ(args.mid(args.indexOf("--")), (QStringList{"--", "-x@example.org", "b@example.org"}));
    EXPECT_EQ(args[args.indexOf("--body") + 1], "Hi there");
    second.present();
    second.cancel();
    ASSERT_EQ(other.results.size(), 1u);
    EXPECT_EQ(other.results[0], MFMailComposeResult::Cancelled);
}
