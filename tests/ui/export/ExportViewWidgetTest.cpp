#include "ui/export/ExportViewWidget.h"
#include "DrawnText.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioExportHelper.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/store/PersistentStack.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"
#include "screens/ExportViewController.h"
#include "ui/controls/PDColoredProgressView.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// With QUORVEL_SCREENSHOT_DIR set, the screen as it looks is saved there.
void screenshot(QWidget* w, const char* name) {
    const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(dir + QLatin1Char('/') + QLatin1String(name));
}

class Finished : public ExportViewControllerFinishDelegate {
public:
    void exportViewControllerDidFinish(ExportViewController*) override { ++calls; }
    int calls = 0;
};

// The export screen over a real export of a tone written to the documents
// folder, by either producer.
class ExportView : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::standardUserDefaults().reload();
        stack = std::make_unique<PersistentStack>(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
        DBHelper::dbHelper().setManagedObjectContext(stack->managedObjectContext());
        ringtune = std::make_shared<Ringtune>(QUrl(QStringLiteral("ipod-library://item/item.mp3?id=7")),
                                              QStringLiteral("Bells"), QStringLiteral("Band"),
                                              QImage(8, 8, QImage::Format_RGB32));
        controller = std::make_shared<ExportViewController>();
        controller->setRingtune(ringtune);
        controller->setFinishDelegate(&finished);
        controller->setCanPromptForRating(false);
    }
    void TearDown() override {
        widget.reset();
        AudioExporterFor3G::sharedInstance().waitUntilFinished();
        Appirater::waitForPendingCounts();
        UserDefaults::standardUserDefaults().reload();
    }
    void useTone(double seconds) {
        const QString wav = Paths::documentPath(QStringLiteral(".processedEffect.wav"));
        ASSERT_TRUE(test::writeWav16(wav, test::sine(440, seconds), 44100, 1));
        ringtune->setExportURL(QUrl::fromLocalFile(wav));
    }
    void startWriter() {
        AudioExporterFor3G& writer = AudioExporterFor3G::sharedInstance();
        writer.exportRingtune(ringtune, controller);
        controller->setCancelDelegate(&writer);
        widget = std::make_unique<ExportViewWidget>(controller);
        widget->show();
    }
    void startPlatformExport() {
        AudioExportHelper::sharedInstance().exportRingtune(ringtune, controller);
        widget = std::make_unique<ExportViewWidget>(controller);
        widget->show();
    }
    template <class T> T* find(const char* name) const { return widget->findChild<T*>(QString::fromLatin1(name)); }
    QString labelText() const { return find<QLabel>("label")->text(); }
    size_t storedRows() const {
        const auto rows = DBHelper::dbHelper().loadRingtonesFromDB();
        return rows ? rows->size() : size_t(-1);
    }
    QStringList ringtoneFiles() const {
        return QDir(Paths::documentsDirectory()).entryList({QStringLiteral("*.m4r")}, QDir::Files);
    }

    test::TempHome home;
    std::unique_ptr<PersistentStack> stack;
    std::shared_ptr<Ringtune> ringtune;
    std::shared_ptr<ExportViewController> controller;
    Finished finished;
    std::unique_ptr<ExportViewWidget> widget;
};

} // namespace

TEST_F(ExportView, TheWritersPathShowsProgressThenDoneWithExitHelpAndMail) {
    useTone(30.0);
    startWriter();
    EXPECT_EQ(find<QLabel>("nowPlayingLabel")->text(), QStringLiteral("Bells"));
    EXPECT_EQ(find<QLabel>("nowPlayingArtist")->text(), QStringLiteral("Band"));
    EXPECT_FALSE(find<QLabel>("artwork")->pixmap().isNull());
    EXPECT_FALSE(find<QPushButton>("helpButton")->isVisible());
    EXPECT_FALSE(find<QLabel>("helpLabel")->isVisible());
    EXPECT_FALSE(find<QPushButton>("mailButton")->isVisible());
    EXPECT_TRUE(find<QPushButton>("cancelButton")->icon().isNull());

    QList<float> seen;
    QObject::connect(controller.get(), &ExportViewController::changed,
                     [&] {
                         seen << find<PDColoredProgressView>("progressView")->progress();
                         if (seen.back() > 0.3f && seen.back() < 0.9f) screenshot(widget.get(), "export-progress.png");
                     });
    ASSERT_TRUE(test::waitUntil([&] { return controller->outcome() != ExportViewController::Outcome::Running; }));
    ASSERT_EQ(controller->outcome(), ExportViewController::Outcome::Done) << controller->failureDescription().toStdString();
    EXPECT_FLOAT_EQ(find<PDColoredProgressView>("progressView")->progress(), 1.0f);
    ASSERT_FALSE(seen.isEmpty());
    for (int i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]) << "the bar never goes back";
    EXPECT_EQ(labelText(), NSLocalizedString(QStringLiteral("done")));
    EXPECT_FALSE(find<QPushButton>("cancelButton")->icon().isNull()) << "the exit image";
    EXPECT_TRUE(find<QPushButton>("helpButton")->isVisible());
    EXPECT_TRUE(find<QLabel>("helpLabel")->isVisible());
    ASSERT_TRUE(find<QPushButton>("mailButton")->isVisible());
    screenshot(widget.get(), "export-done.png");

    const QString stored = ringtune->storedFilePath().toLocalFile();
    EXPECT_EQ(QFileInfo(stored).fileName(), QStringLiteral("Bells-1.m4r"));
    EXPECT_EQ(storedRows(), 1u);
    EXPECT_EQ(test::probeStreamField(stored, QStringLiteral("codec_name")), QStringLiteral("aac"));
    EXPECT_NEAR(test::probeDuration(stored), 30.0, 0.05);

    find<QPushButton>("mailButton")->click();
    QPointer<MFMailComposeViewController> composer = widget->mailComposer();
    ASSERT_TRUE(composer);
    EXPECT_TRUE(composer->isVisible());
    EXPECT_EQ(composer->subject(), NSLocalizedString(QStringLiteral("mail_subject")));
    EXPECT_EQ(composer->messageBody(), NSLocalizedString(QStringLiteral("mail_body")));
    EXPECT_TRUE(composer->isBodyHTML());
    EXPECT_EQ(composer->attachmentPath(), stored);
    EXPECT_EQ(composer->attachmentFileName(), QStringLiteral("Bells-1.m4r")) << "the stored name, as sent";
    EXPECT_EQ(composer->attachmentMimeType(), QStringLiteral("audio/mp4"));
    // A second press raises the open composer instead of opening another.
    find<QPushButton>("mailButton")->click();
    EXPECT_EQ(widget->mailComposer(), composer.data());
    composer->cancel();
    EXPECT_TRUE(test::waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return composer.isNull();
    }));
    EXPECT_EQ(widget->mailComposer(), nullptr);
    EXPECT_EQ(finished.calls, 0) << "the export screen stays after the composer";

    // After done the exit button closes at once.
    find<QPushButton>("cancelButton")->click();
    EXPECT_EQ(finished.calls, 1);
}

TEST_F(ExportView, ThePlatformPathShowsExportingThenDone) {
    useTone(2.0);
    startPlatformExport();
    QStringList labels;
    QObject::connect(controller.get(), &ExportViewController::changed, [&] { labels << labelText(); });
    ASSERT_TRUE(test::waitUntil([&] { return controller->outcome() != ExportViewController::Outcome::Running; }));
    ASSERT_EQ(controller->outcome(), ExportViewController::Outcome::Done) << controller->failureDescription().toStdString();
    EXPECT_TRUE(labels.contains(NSLocalizedString(QStringLiteral("exporting"))));
    EXPECT_EQ(labelText(), NSLocalizedString(QStringLiteral("done")));
    EXPECT_FLOAT_EQ(find<PDColoredProgressView>("progressView")->progress(), 1.0f);
    EXPECT_TRUE(find<QPushButton>("helpButton")->isVisible());
    EXPECT_NEAR(test::probeDuration(ringtune->storedFilePath().toLocalFile()), 2.0, 0.05);
}

// The done screen with a title too long for one line: the title, the artist
// and the buttons each keep their own place, and the bar has the coloured
// progress bar's own tint.
TEST_F(ExportView, ALongTitleStaysClearOfTheArtworkWhenDone) {
    const QString title = QStringLiteral("An Extraordinarily Long Title for a Summer Song Remix");
    ringtune->setTitle(title);
    ringtune->setArtist(QStringLiteral("Somebody With A Long Band Name Too"));
    useTone(2.0);
    startPlatformExport();
    widget->resize(320, 480);
    ASSERT_TRUE(test::waitUntil([&] { return controller->outcome() != ExportViewController::Outcome::Running; }));
    ASSERT_EQ(controller->outcome(), ExportViewController::Outcome::Done) << controller->failureDescription().toStdString();
    QCoreApplication::processEvents();
    screenshot(widget.get(), "export-done-long-title.png");

    EXPECT_EQ(find<PDColoredProgressView>("progressView")->tintColor(), QColor(125, 228, 30));
    // Top to bottom, none over another, all inside the screen.
    const char* column[] = {"artwork", "nowPlayingLabel", "nowPlayingArtist", "progressView", "label",
                            "mailButton", "helpLabel", "helpButton", "cancelButton"};
    QRect above;
    for (const char* name : column) {
        SCOPED_TRACE(name);
        QWidget* w = find<QWidget>(name);
        ASSERT_TRUE(w && w->isVisible());
        EXPECT_TRUE(widget->rect().contains(w->geometry()));
        if (!above.isNull()) {
            EXPECT_GE(w->geometry().top(), above.bottom()) << "overlaps what is above it";
        }
        above = w->geometry();
    }
    // One line, the middle left out; the whole title stays the label's text.
    auto* label = find<QLabel>("nowPlayingLabel");
    EXPECT_EQ(label->text(), title);
    const QStringList drawn = test::DrawnText::of(label);
    ASSERT_EQ(drawn.size(), 1) << drawn.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(drawn[0].startsWith(QStringLiteral("An ")) && drawn[0].endsWith(QStringLiteral("Remix")) &&
                drawn[0].contains(QChar(0x2026)))
        << drawn[0].toStdString();
}

TEST_F(ExportView, CancelOnTheWritersPathLeavesNoFileAndClosesLater) {
    useTone(300.0); // long enough to be still encoding when cancelled
    startWriter();
    ASSERT_TRUE(test::waitUntil([&] { return controller->progress() > 0.0f; }));
    find<QPushButton>("cancelButton")->click();
    EXPECT_EQ(finished.calls, 0) << "closes after the delay";
    ASSERT_TRUE(test::waitUntil([&] { return finished.calls == 1; }, 10000));
    AudioExporterFor3G::sharedInstance().waitUntilFinished();
    test::waitUntil([] { return false; }, 300); // the writer's last tick
    EXPECT_NE(controller->outcome(), ExportViewController::Outcome::Done);
    EXPECT_FALSE(QFileInfo::exists(ringtune->filePath()));
    EXPECT_TRUE(ringtoneFiles().isEmpty());
    EXPECT_EQ(storedRows(), 0u);
}

TEST_F(ExportView, ClosingDuringAnExportStopsItWithoutAFileOrARow) {
    // A ringtone stored before must stay whole.
    useTone(1.0);
    startWriter();
    ASSERT_TRUE(test::waitUntil([&] { return controller->outcome() == ExportViewController::Outcome::Done; }));
    const QString first = ringtune->storedFilePath().toLocalFile();
    widget.reset();

    for (bool writer : {true, false}) {
        SCOPED_TRACE(writer ? "AAC writer" : "platform export");
        useTone(300.0);
        controller = std::make_shared<ExportViewController>();
        controller->setRingtune(ringtune);
        controller->setFinishDelegate(&finished);
        controller->setCanPromptForRating(false);
        writer ? startWriter() : startPlatformExport();
        ASSERT_TRUE(test::waitUntil([&] { return controller->progress() > 0.0f; }));
        widget.reset(); // the window goes
        EXPECT_TRUE(controller->isShutDown());
        EXPECT_FALSE(QFileInfo::exists(ringtune->filePath()));
        controller.reset(); // and with it the editor's hold on the screen
        test::waitUntil([] { return false; }, 400); // late ticks find nothing to call
        EXPECT_EQ(ringtoneFiles(), QStringList{QFileInfo(first).fileName()});
        EXPECT_EQ(storedRows(), 1u);
    }
    EXPECT_EQ(finished.calls, 0);
    EXPECT_NEAR(test::probeDuration(first), 1.0, 0.05);
}
