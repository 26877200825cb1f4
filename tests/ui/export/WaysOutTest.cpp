// The done screen's ways out: where the new buttons sit and what they are
// called, the Save a Copy dialog, Show in Folder on the session bus (a fake
// file manager behind it), Send to Phone only with a phone, and the artwork
// dragged out as the file.
#include "FakeDesktop.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioExporterFor3G.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DesktopFileManager.h"
#include "platform/store/PersistentStack.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"
#include "screens/ExportViewController.h"
#include "ui/export/ExportViewWidget.h"
#include "ui/waysout/FileDragSource.h"
#include "ui/waysout/WaysOutButtons.h"

#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Every visible button and label of `screen` against every other: none overlap.
void expectNothingOverlaps(QWidget* screen) {
    QList<QWidget*> shown;
    for (QWidget* w : screen->findChildren<QWidget*>())
        if (w->isVisible() && (qobject_cast<QPushButton*>(w) || qobject_cast<QLabel*>(w)) && !w->objectName().isEmpty())
            shown << w;
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j) {
            const QRect a(shown[i]->mapTo(screen, QPoint()), shown[i]->size());
            const QRect b(shown[j]->mapTo(screen, QPoint()), shown[j]->size());
            EXPECT_FALSE(a.intersects(b)) << shown[i]->objectName().toStdString() << " overlaps "
                                          << shown[j]->objectName().toStdString();
        }
}

// With QUORVEL_SCREENSHOT_DIR set, the screen as it looks is saved there.
void screenshot(QWidget* w, const char* name) {
    const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(dir + QLatin1Char('/') + QLatin1String(name));
}

int top(QWidget* w, QWidget* screen) { return w->mapTo(screen, QPoint()).y(); }

class DoneScreen : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("HOME", fakeHome.path().toLocal8Bit());
        UserDefaults::standardUserDefaults().reload();
        stack = std::make_unique<PersistentStack>(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
        DBHelper::dbHelper().setManagedObjectContext(stack->managedObjectContext());
        QImage art(8, 8, QImage::Format_RGB32);
        art.fill(Qt::blue);
        ringtune = std::make_shared<Ringtune>(QUrl(QStringLiteral("ipod-library://item/item.mp3?id=7")),
                                              QStringLiteral("Bells"), QStringLiteral("Band"), art);
        const QString wav = Paths::documentPath(QStringLiteral(".processedEffect.wav"));
        ASSERT_TRUE(test::writeWav16(wav, test::sine(440, 4.0), 44100, 1));
        ringtune->setExportURL(QUrl::fromLocalFile(wav));
        controller = std::make_shared<ExportViewController>();
        controller->setRingtune(ringtune);
        controller->setCanPromptForRating(false);
    }
    void TearDown() override {
        widget.reset();
        AudioExporterFor3G::sharedInstance().waitUntilFinished();
        Appirater::waitForPendingCounts();
        qputenv("HOME", oldHome);
        UserDefaults::standardUserDefaults().reload();
    }
    void export_() {
        AudioExporterFor3G& writer = AudioExporterFor3G::sharedInstance();
        writer.exportRingtune(ringtune, controller);
        controller->setCancelDelegate(&writer);
        widget = std::make_unique<ExportViewWidget>(controller);
        widget->resize(320, 480);
        widget->show();
        EXPECT_FALSE(button("saveCopyButton")->isVisible()) << "nothing to save while it runs";
        ASSERT_TRUE(test::waitUntil([&] { return controller->outcome() != ExportViewController::Outcome::Running; }));
        ASSERT_EQ(controller->outcome(), ExportViewController::Outcome::Done);
    }
    QPushButton* button(const char* name) const { return widget->findChild<QPushButton*>(QString::fromLatin1(name)); }
    QLabel* label(const char* name) const { return widget->findChild<QLabel*>(QString::fromLatin1(name)); }

    QByteArray oldHome = qgetenv("HOME");
    QTemporaryDir fakeHome;
    test::TempHome home;
    std::unique_ptr<PersistentStack> stack;
    std::shared_ptr<Ringtune> ringtune;
    std::shared_ptr<ExportViewController> controller;
    std::unique_ptr<ExportViewWidget> widget;
};

} // namespace

TEST_F(DoneScreen, TheNewButtonsSitUnderMailAndAboveHelp) {
    test::FakeKdeConnect phone({QStringLiteral("a1 Pixel 7")});
    export_();
    ASSERT_TRUE(test::waitUntil([&] { return button("sendToPhoneButton")->isVisible(); }, 10000));
    QWidget* s = widget.get();
    for (const char* name : {"saveCopyButton", "showInFolderButton", "sendToPhoneButton", "mailButton", "helpButton"})
        EXPECT_TRUE(button(name)->isVisible()) << name;
    EXPECT_EQ(button("saveCopyButton")->text(), QStringLiteral("Save a Copy…"));
    EXPECT_EQ(button("showInFolderButton")->text(), QStringLiteral("Show in Folder"));
    EXPECT_EQ(button("sendToPhoneButton")->text(), QStringLiteral("Send to Phone"));
    EXPECT_FALSE(button("showInFolderButton")->accessibleName().isEmpty());
    EXPECT_GT(top(button("saveCopyButton"), s), top(button("mailButton"), s));
    EXPECT_LT(top(button("saveCopyButton"), s), top(label("helpLabel"), s));
    EXPECT_EQ(top(button("saveCopyButton"), s), top(button("sendToPhoneButton"), s));
    EXPECT_LE(button("cancelButton")->mapTo(s, QPoint(0, button("cancelButton")->height())).y(), s->height());
    expectNothingOverlaps(s);

    button("sendToPhoneButton")->click();
    ASSERT_TRUE(test::waitUntil([&] { return label("waysOutLabel")->text() == QStringLiteral("Sent to Pixel 7"); }));
    EXPECT_TRUE(label("waysOutLabel")->isVisible());
    EXPECT_EQ(phone.calls().last(),
              QStringLiteral("--share %1 --device a1").arg(ringtune->storedFilePath().toLocalFile()));
    expectNothingOverlaps(s);
    // The phone's screen still holds it all.
    EXPECT_LE(s->minimumSizeHint().width(), 320);
    EXPECT_LE(s->minimumSizeHint().height(), 480);
    // Each button shows its whole text.
    for (const char* name : {"saveCopyButton", "showInFolderButton", "sendToPhoneButton"})
        EXPECT_GE(button(name)->width(), button(name)->sizeHint().width()) << name;
    screenshot(s, "export-done-ways-out.png");
}

TEST_F(DoneScreen, SendToPhoneIsHiddenWithoutAPhone) {
    test::FakeKdeConnect none({});
    export_();
    ASSERT_TRUE(test::waitUntil([&] { return !none.calls().isEmpty(); }, 10000));
    test::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(button("saveCopyButton")->isVisible());
    EXPECT_FALSE(button("sendToPhoneButton")->isVisible());
}

TEST_F(DoneScreen, SaveACopyAsksWhereAndWrites) {
    export_();
    button("saveCopyButton")->click();
    QFileDialog* dialog = widget->waysOutButtons()->saveDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->directory().absolutePath(), QDir(fakeHome.path()).absolutePath());
    EXPECT_EQ(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("Bells-1.m4r"));
    ASSERT_EQ(dialog->nameFilters().size(), 3);
    EXPECT_TRUE(dialog->nameFilters()[0].startsWith(QStringLiteral("iPhone")));
    EXPECT_TRUE(dialog->nameFilters()[2].contains(QStringLiteral("*.ogg")));
    dialog->selectNameFilter(dialog->nameFilters()[2]);
    emit dialog->filterSelected(dialog->nameFilters()[2]);
    const QString target = fakeHome.path() + QStringLiteral("/Bells-1.ogg");
    emit dialog->fileSelected(target);
    dialog->close();
    ASSERT_TRUE(test::waitUntil([&] { return label("waysOutLabel")->text().startsWith(QStringLiteral("Saved")); }));
    EXPECT_EQ(label("waysOutLabel")->text(), QStringLiteral("Saved to ~/Bells-1.ogg"));
    EXPECT_EQ(test::probeStreamField(target, QStringLiteral("codec_name")), QStringLiteral("opus"));
}

TEST_F(DoneScreen, ShowInFolderAsksTheFileManagerOnTheBus) {
    test::FakeFileManager fake;
    test::FakeService service(&fake, DesktopFileManager::kService, DesktopFileManager::kPath);
    ASSERT_TRUE(service.isRegistered());
    export_();
    button("showInFolderButton")->click();
    ASSERT_TRUE(test::waitUntil([&] { return !fake.shownItems.isEmpty(); }, 10000));
    EXPECT_EQ(fake.shownItems.front(), QStringList{ringtune->storedFilePath().toString()});
}

TEST_F(DoneScreen, TheArtworkDragsOutAsTheStoredFile) {
    export_();
    std::unique_ptr<QMimeData> data(widget->artworkDrag()->mimeData(QPoint(4, 4)));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->urls(), QList<QUrl>{ringtune->storedFilePath()});
    EXPECT_TRUE(data->hasFormat(QStringLiteral("audio/mp4")));
    QFile f(ringtune->storedFilePath().toLocalFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(data->data(QStringLiteral("audio/mp4")), f.readAll());
}
