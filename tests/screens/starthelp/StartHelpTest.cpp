#include "TestSupport.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Paths.h"
#include "screens/HelpWebViewController.h"
#include "screens/StartViewController.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// What the help viewer's widget was asked to do.
struct RecordingHelpView : HelpWebView {
    QList<QUrl> loads;
    QStringList alerts;
    int starts = 0, stops = 0;
    void loadRequest(const QUrl& url) override { loads << url; }
    void startActivity() override { ++starts; }
    void stopActivity() override { ++stops; }
    void showAlert(const QString& title, const QString& message, const QString& button) override {
        alerts << title + QLatin1Char('|') + message + QLatin1Char('|') + button;
    }
};

struct RecordingHelpDelegate : HelpWebViewControllerDelegate {
    HelpWebViewController* finished = nullptr;
    void helpWebViewControllerDidFinish(HelpWebViewController* sender) override { finished = sender; }
};

// A resource folder of our own, with a strings table the test writes.
class Help : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = qgetenv("QUORVEL_RESOURCES");
        qputenv("QUORVEL_RESOURCES", resources_.path().toUtf8());
        QFile(resources_.filePath(QStringLiteral("help.html"))).open(QIODevice::WriteOnly);
        controller.setView(&view);
        controller.setDelegate(&delegate);
        controller.setReachabilityStatusProvider([this] {
            ++statusAsked;
            return status;
        });
    }
    void TearDown() override {
        qputenv("QUORVEL_RESOURCES", previous_);
        resetLocalizedStrings();
    }
    void setHelpUrl(const QString& text) {
        QFile table(resources_.filePath(QStringLiteral("strings.txt")));
        ASSERT_TRUE(table.open(QIODevice::WriteOnly));
        table.write(QStringLiteral("help_url\t%1\nno_internet\tOffline.\n").arg(text).toUtf8());
        table.close();
        resetLocalizedStrings();
    }

    QTemporaryDir resources_;
    QByteArray previous_;
    RecordingHelpView view;
    RecordingHelpDelegate delegate;
    HelpWebViewController controller;
    NetworkStatus status = NotReachable;
    int statusAsked = 0;
};

TEST_F(Help, TheShippedPageLoadsWithoutTheNetwork) {
    setHelpUrl(QStringLiteral("help.html"));
    controller.viewDidLoad();
    ASSERT_EQ(view.loads.size(), 1);
    EXPECT_EQ(view.loads.first(), QUrl::fromLocalFile(resources_.filePath(QStringLiteral("help.html"))));
    EXPECT_TRUE(view.alerts.isEmpty());
    EXPECT_EQ(statusAsked, 0) << "a local page does not ask about the network";
    // Loaded once: the viewer shown again keeps its page.
    controller.viewDidLoad();
    EXPECT_EQ(view.loads.size(), 1);
}

TEST_F(Help, ARemotePageNeedsTheInternet) {
    setHelpUrl(QStringLiteral("https://example.org/quorvel/help.html"));
    controller.viewDidLoad();
    EXPECT_TRUE(view.loads.isEmpty());
    EXPECT_EQ(view.alerts, QStringList{QStringLiteral("Internet|Offline.|OK")});
    EXPECT_EQ(view.stops, 1);

    // Any status but not-reachable counts, the cellular one too.
    status = ReachableViaWWAN;
    controller.loadHelp();
    ASSERT_EQ(view.loads.size(), 1);
    EXPECT_EQ(view.loads.first(), QUrl(QStringLiteral("https://example.org/quorvel/help.html")));
    EXPECT_EQ(view.alerts.size(), 1);
}

TEST_F(Help, AddressesResolveAndAMissingOneLoadsNothing) {
    setHelpUrl(QStringLiteral("/usr/share/doc/quorvel/help.html"));
    EXPECT_EQ(HelpWebViewController::helpURL(), QUrl::fromLocalFile(QStringLiteral("/usr/share/doc/quorvel/help.html")));
    EXPECT_FALSE(HelpWebViewController::isRemote(HelpWebViewController::helpURL()));
    EXPECT_TRUE(HelpWebViewController::isRemote(QUrl(QStringLiteral("http://example.org/"))));
    EXPECT_FALSE(HelpWebViewController::isRemote(QUrl(QStringLiteral("qrc:/help.html"))));

    // A table without the key shows the key itself, which is no address.
    QFile(resources_.filePath(QStringLiteral("strings.txt"))).remove();
    resetLocalizedStrings();
    controller.viewDidLoad();
    EXPECT_TRUE(controller.url().isEmpty());
    EXPECT_TRUE(view.loads.isEmpty());
    EXPECT_TRUE(view.alerts.isEmpty());
}

TEST_F(Help, ActivityFollowsLoadingLinksStayInsideAndDoneTellsTheDelegate) {
    controller.webViewDidStartLoad();
    controller.webViewDidFinishLoad();
    EXPECT_EQ(view.starts, 1);
    EXPECT_EQ(view.stops, 1);
    // A failed load leaves the indicator as it is.
    controller.webViewDidStartLoad();
    controller.webViewDidFailLoadWithError(QStringLiteral("gone"));
    EXPECT_EQ(view.stops, 1);
    EXPECT_TRUE(controller.webViewShouldStartLoadWithRequest(QUrl(QStringLiteral("https://example.org/")),
                                                             HelpWebViewController::NavigationType::LinkClicked));
    controller.done();
    EXPECT_EQ(delegate.finished, &controller);
}

struct RecordingStartView : StartView {
    QString prompt;
    bool multiple = true;
    MPMediaPickerControllerDelegate* pickerDelegate = nullptr;
    int dismissed = 0;
    void presentMediaPicker(const QString& p, bool allows, MPMediaPickerControllerDelegate* d) override {
        prompt = p;
        multiple = allows;
        pickerDelegate = d;
    }
    void dismissMediaPicker(bool) override { ++dismissed; }
};

struct RecordingStartDelegate : StartViewControllerDelegate {
    std::vector<MPMediaItem> picked;
    int calls = 0;
    void startViewControllerDidFinish(const std::vector<MPMediaItem>& items) override {
        picked = items;
        ++calls;
    }
};

TEST(Start, ThePickerAsksForOneSongAndItsChoiceGoesToTheDelegate) {
    test::TempHome home;
    RecordingStartView view;
    RecordingStartDelegate delegate;
    StartViewController start;
    start.setView(&view);
    start.setDelegate(&delegate);
    start.showMediaPicker();
    EXPECT_EQ(view.prompt, NSLocalizedString(QStringLiteral("select_song")));
    EXPECT_NE(view.prompt, QStringLiteral("select_song")) << "the strings table has the prompt";
    EXPECT_FALSE(view.multiple);
    ASSERT_EQ(view.pickerDelegate, &start);

    const QString song = home.path() + QStringLiteral("/Bells.wav");
    ASSERT_TRUE(test::writeWav16(song, test::sine(440, 0.5), 44100, 1));
    const MPMediaItem item = MPMediaItem::itemWithFile(song);
    start.mediaPickerDidPickMediaItems(nullptr, {item});
    EXPECT_EQ(delegate.calls, 1);
    ASSERT_EQ(delegate.picked.size(), 1u);
    EXPECT_EQ(delegate.picked.front().title(), QStringLiteral("Bells"));
    EXPECT_NEAR(delegate.picked.front().playbackDuration(), 0.5, 0.01);
    EXPECT_EQ(view.dismissed, 0) << "the start screen's presenter closes the picker, not the start screen";

    start.mediaPickerDidCancel(nullptr);
    EXPECT_EQ(view.dismissed, 1);
    EXPECT_EQ(delegate.calls, 1);
}

} // namespace
