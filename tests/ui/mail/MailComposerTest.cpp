// The mail composer hands its message to Debian's own xdg-email script; a
// fake mail client behind it (the desktop's mailto: handler, or a client
// named thunderbird, which xdg-email drives with -compose) writes down what
// it was given.
#include "TestSupport.h"
#include "platform/core/NSError.h"
#include "ui/mail/MFMailComposeViewController.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QUrlQuery>
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

// Sets environment variables for the guard's life, and restores them.
class EnvironmentGuard {
public:
    ~EnvironmentGuard() {
        for (auto it = saved_.cbegin(); it != saved_.cend(); ++it) {
            if (it.value().has_value()) qputenv(it.key().constData(), *it.value());
            else qunsetenv(it.key().constData());
        }
    }
    void set(const char* name, const QByteArray& value) {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char* name) {
        remember(name);
        qunsetenv(name);
    }

private:
    void remember(const char* name) {
        if (!saved_.contains(name))
            saved_.insert(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    }
    QMap<QByteArray, std::optional<QByteArray>> saved_;
};

// What the mail client was given.
struct Received {
    QStringList to;
    QString subject, body, attachment;
};

// A desktop without a named environment whose mailto: handler is a fake
// client. `thunderbird`: the client is called that, so xdg-email runs it with
// "-compose" as it does the real one; else it gets the mailto: URL.
class MailDesk {
public:
    MailDesk(bool thunderbird, int clientStatus = 0) : thunderbird_(thunderbird) {
        const QString bin = home_.path() + QStringLiteral("/bin");
        const QString applications = home_.path() + QStringLiteral("/data/applications");
        QDir().mkpath(bin);
        QDir().mkpath(applications);
        QDir().mkpath(home_.path() + QStringLiteral("/config"));
        QDir().mkpath(home_.path() + QStringLiteral("/nothing"));
        const QString client = bin + (thunderbird ? QStringLiteral("/thunderbird") : QStringLiteral("/fake-mail"));
        write(client, QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1'\nexit %2\n")
                          .arg(received_)
                          .arg(clientStatus));
        QFile::setPermissions(client, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        write(applications + QStringLiteral("/fake-mail.desktop"),
              QStringLiteral("[Desktop Entry]\nType=Application\nName=Fake Mail\nExec=%1 %u\n"
                             "MimeType=x-scheme-handler/mailto;\n")
                  .arg(thunderbird ? QStringLiteral("thunderbird") : client));
        write(home_.path() + QStringLiteral("/config/mimeapps.list"),
              QStringLiteral("[Default Applications]\nx-scheme-handler/mailto=fake-mail.desktop\n"));

        env_.set("PATH", (bin + QStringLiteral(":/usr/bin:/bin")).toUtf8());
        env_.set("XDG_DATA_HOME", (home_.path() + QStringLiteral("/data")).toUtf8());
        env_.set("XDG_CONFIG_HOME", (home_.path() + QStringLiteral("/config")).toUtf8());
        env_.set("XDG_DATA_DIRS", (home_.path() + QStringLiteral("/nothing")).toUtf8());
        // xdg-open asks the mailto: handler only on a desktop with a display.
        env_.set("DISPLAY", ":quorvel-test");
        // A locale that is not UTF-8: the message's text must still arrive whole.
        env_.set("LC_ALL", "C");
        for (const char* name : {"XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID",
                                 "MATE_DESKTOP_SESSION_ID", "DESKTOP_SESSION", "LXQT_SESSION_CONFIG", "MAILER", "BROWSER",
                                 "DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY"})
            env_.unset(name);
    }

    QString folder() const { return home_.path(); }

    // Empty when the client was never run.
    std::optional<Received> received() const {
        QFile file(received_);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        const QStringList args = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        Received got;
        if (thunderbird_) {
            // thunderbird -compose "to='a,b,',subject=...,body=...,attachment='/path'"
            if (args.size() != 2 || args[0] != QStringLiteral("-compose")) return got;
            const QString spec = args[1];
            const auto field = [&](const char* pattern) {
                const QRegularExpressionMatch m = QRegularExpression(QString::fromLatin1(pattern)).match(spec);
                return m.hasMatch() ? m.captured(1) : QString();
            };
            got.to = field("(?:^|,)to='([^']*)'").split(QLatin1Char(','), Qt::SkipEmptyParts);
            got.subject = QUrl::fromPercentEncoding(field("(?:^|,)subject=([^,]*)").toUtf8());
            got.body = QUrl::fromPercentEncoding(field("(?:^|,)body=([^,]*)").toUtf8());
            got.attachment = field("(?:^|,)attachment='([^']*)'");
            return got;
        }
        if (args.size() != 1 || !args[0].startsWith(QStringLiteral("mailto:"))) return got;
        const QString mailto = args[0];
        const QUrlQuery query(mailto.mid(mailto.indexOf(QLatin1Char('?')) + 1));
        const QString address = mailto.mid(7, mailto.indexOf(QLatin1Char('?')) - 7);
        if (!address.isEmpty()) got.to << QUrl::fromPercentEncoding(address.toUtf8());
        got.to << query.allQueryItemValues(QStringLiteral("to"), QUrl::FullyDecoded);
        got.subject = query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded);
        got.body = query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
        got.attachment = query.queryItemValue(QStringLiteral("attach"), QUrl::FullyDecoded);
        return got;
    }

    static void write(const QString& path, const QString& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

private:
    test::TempHome home_;
    EnvironmentGuard env_;
    bool thunderbird_;
    QString received_ = home_.path() + QStringLiteral("/received.txt");
};

QString attachmentLabel(MFMailComposeViewController& composer) {
    return composer.findChild<QLabel*>(QStringLiteral("attachment"))->text();
}

// Send pressed: the composer reports the message sent.
::testing::AssertionResult sent(MFMailComposeViewController& composer, const Result& result) {
    composer.present();
    composer.send();
    if (!test::waitUntil([&] { return !result.results.empty(); }, 20000))
        return ::testing::AssertionFailure() << "no answer: " << composer.findChild<QLabel*>("status")->text().toStdString();
    if (result.results[0] != MFMailComposeResult::Sent)
        return ::testing::AssertionFailure() << "not sent: " << composer.findChild<QLabel*>("status")->text().toStdString();
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(MailComposer, TheMailClientGetsRecipientsSubjectBodyAndTheFileThroughXdgEmail) {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty())
        << "xdg-email (Debian's xdg-utils) is installed by scripts/setup";
    for (const bool thunderbird : {false, true}) {
        SCOPED_TRACE(thunderbird ? "thunderbird -compose" : "mailto: handler");
        MailDesk desk(thunderbird);
        // The stored file is named with its counter; the name asked for is the title's.
        const QString file = desk.folder() + QStringLiteral("/Bells-54.m4r");
        MailDesk::write(file, QStringLiteral("not really audio"));

        MFMailComposeViewController composer;
        Result result;
        composer.setMailComposeDelegate(&result);
        composer.setToRecipients({QStringLiteral("a@example.org"), QStringLiteral("-x@example.org")});
        composer.setSubject(QStringLiteral("Ein Klingelton für dich ♪"));
        composer.setMessageBody(QStringLiteral("<p>Here is a <b>ringtone</b>, made with Quorvel.</p><p>Open the .m4r file.</p>"),
                                true);
        composer.addAttachment(file, QStringLiteral("audio/mp4"), QStringLiteral("Bells.m4r"));
        // The sheet shows what goes: the file's own name, the body as plain text.
        EXPECT_TRUE(attachmentLabel(composer).contains(QStringLiteral("Bells-54.m4r"))) << attachmentLabel(composer).toStdString();
        EXPECT_FALSE(attachmentLabel(composer).contains(QStringLiteral("audio/mp4")));
        const QString shownBody = composer.findChild<QTextBrowser*>(QStringLiteral("messageBody"))->toPlainText();
        EXPECT_EQ(shownBody, QStringLiteral("Here is a ringtone, made with Quorvel.\nOpen the .m4r file."));

        ASSERT_TRUE(sent(composer, result));

        const std::optional<Received> got = desk.received();
        ASSERT_TRUE(got.has_value()) << "the mail client was not run";
        EXPECT_EQ(got->to, (QStringList{QStringLiteral("a@example.org"), QStringLiteral("-x@example.org")}));
        EXPECT_EQ(got->subject, QStringLiteral("Ein Klingelton für dich ♪"));
        EXPECT_EQ(QString(got->body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), shownBody);
        EXPECT_EQ(got->attachment, file);
    }
}

TEST(MailComposer, AMessageWithoutSubjectBodyOrRecipientStillReachesTheClient) {
    MailDesk desk(false);
    MFMailComposeViewController composer;
    Result result;
    composer.setMailComposeDelegate(&result);
    ASSERT_TRUE(sent(composer, result));
    const std::optional<Received> got = desk.received();
    ASSERT_TRUE(got.has_value());
    EXPECT_TRUE(got->to.isEmpty());
    EXPECT_TRUE(got->subject.isEmpty());
}

TEST(MailComposer, AMailClientThatFailsIsReportedAndOffersTheFile) {
    MailDesk desk(false, 3);
    const QString file = desk.folder() + QStringLiteral("/Bells-2.m4r");
    MailDesk::write(file, QStringLiteral("x"));
    MFMailComposeViewController composer;
    Result result;
    composer.setMailComposeDelegate(&result);
    composer.addAttachment(file, QStringLiteral("audio/mp4"), QStringLiteral("Bells-2.m4r"));
    composer.setMessageBody(QStringLiteral("<p>Hi <b>there</b></p>"), true);
    composer.present();
    composer.send();
    ASSERT_TRUE(test::waitUntil([&] { return composer.findChild<QPushButton*>("showFileButton")->isVisibleTo(&composer); }, 20000));
    EXPECT_TRUE(desk.received().has_value()) << "the client was reached and failed";
    EXPECT_TRUE(result.results.empty()); // the user reads why first
    composer.cancel();
    ASSERT_EQ(result.results.size(), 1u);
    EXPECT_EQ(result.results[0], MFMailComposeResult::Failed);
    EXPECT_TRUE(result.hadError);
}

TEST(MailComposer, AMissingMailProgramFailsAtOnceAndCancelReportsCancelled) {
    test::TempHome home;
    EnvironmentGuard env;
    env.set("PATH", (home.path() + "/empty").toUtf8());
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
    second.present();
    second.cancel();
    ASSERT_EQ(other.results.size(), 1u);
    EXPECT_EQ(other.results[0], MFMailComposeResult::Cancelled);
}
