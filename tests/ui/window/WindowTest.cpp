#include "MainWindow.h"
#include "Navigator.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"
#include "screens/ExportViewController.h"
#include "screens/MainViewController.h"
#include "ui/common/AlertView.h"
#include "ui/common/CanvasView.h"
#include "ui/common/ScreenStack.h"
#include "ui/editor/MainViewWidget.h"
#include "ui/export/ExportViewWidget.h"
#include "ui/help/HelpWebViewWidget.h"
#include "ui/picker/MPMediaPickerController.h"
#include "ui/picker/SongTableModel.h"
#include "ui/recorder/RecorderViewWidget.h"
#include "ui/start/StartViewWidget.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// A fresh home and a music folder of three songs (titles from their file names).
class Window : public ::testing::Test {
protected:
    void SetUp() override {
        music = home.path() + QStringLiteral("/Music");
        QDir().mkpath(music);
        QDir().mkpath(home.path() + QStringLiteral("/NoDemo"));
        for (const char* title : {"Alpha Bells", "Beta Drums", "Gamma Bells"})
            ASSERT_TRUE(test::writeWav16(music + QLatin1Char('/') + QLatin1String(title) + QStringLiteral(".wav"),
                                         test::sine(440, 1.0), 44100, 1));
        qputenv("QUORVEL_MUSIC", music.toUtf8());
        qputenv("QUORVEL_DEMO_DIR", (home.path() + QStringLiteral("/NoDemo")).toUtf8());
        UserDefaults::standardUserDefaults().reload();
        UserDefaults::windowDefaults().reload();
        MPMediaLibrary::defaultMediaLibrary().scanNow();
        window = std::make_unique<MainWindow>(MPMediaLibrary::defaultMediaLibrary());
        window->show();
    }
    void TearDown() override {
        window.reset();
        qunsetenv("QUORVEL_MUSIC");
        qunsetenv("QUORVEL_DEMO_DIR");
        UserDefaults::standardUserDefaults().reload();
    }

    ScreenStack* stack() const { return window->stack(); }
    bool settled() const {
        return test::waitUntil([this] { return !stack()->isTransitioning(); }, 5000);
    }
    StartViewWidget* startScreen() const { return window->navigator()->startScreen(); }
    MPMediaPickerController* picker() const {
        return window->findChild<MPMediaPickerController*>(QStringLiteral("mediaPicker"));
    }
    MPMediaPickerController* openPicker() {
        StartViewWidget* start = startScreen();
        if (!start) return nullptr;
        start->findChild<QPushButton*>(QStringLiteral("fmButton"))->click();
        MPMediaPickerController* p = picker();
        if (!p || !test::waitUntil([p] { return p->isLoaded(); }, 10000)) return nullptr;
        return p;
    }
    void drop(const QString& path) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at = window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted()) return;
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &dropped);
    }
    // Runs pending deletions (widgets closed with deleteLater()) and reports whether `done` holds.
    static bool afterDeletions(const std::function<bool()>& done) {
        return test::waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return done();
        }, 5000);
    }
    AlertView* alert() const { return stack()->findChild<AlertView*>(QStringLiteral("alertView")); }

    test::TempHome home;
    QString music;
    std::unique_ptr<MainWindow> window;
};

TEST_F(Window, StartsOnTheStartScreenWhoseButtonOpensThePicker) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvel"));
    StartViewWidget* start = startScreen();
    ASSERT_TRUE(start);
    EXPECT_EQ(stack()->topScreen(), start);
    EXPECT_FALSE(stack()->isTransitioning()) << "the start screen comes without animation";
    EXPECT_TRUE(qobject_cast<MainViewWidget*>(stack()->rootScreen()));
    stack()->escape();
    EXPECT_EQ(stack()->topScreen(), start) << "Esc does not close the start screen";
    EXPECT_FALSE(stack()->isTransitioning());

    MPMediaPickerController* p = openPicker();
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->windowModality(), Qt::WindowModal);
    EXPECT_EQ(p->findChild<QLabel*>(QStringLiteral("prompt"))->text(), NSLocalizedString(QStringLiteral("select_song")));
    auto* table = p->findChild<QTableView*>(QStringLiteral("songTable"));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::SingleSelection);
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(table->model()->index(0, SongTableModel::TitleColumn).data().toString(), QStringLiteral("Alpha Bells"));
    EXPECT_EQ(table->model()->index(0, SongTableModel::LengthColumn).data().toString(), QStringLiteral("0:01"));
    EXPECT_EQ(table->model()->headerData(SongTableModel::ArtworkColumn, Qt::Horizontal).toString(),
              QStringLiteral("Artwork"));
}

TEST_F(Window, TheSearchFieldNarrowsTheSongs) {
    MPMediaPickerController* p = openPicker();
    ASSERT_TRUE(p);
    auto* search = p->findChild<QLineEdit*>(QStringLiteral("searchField"));
    auto* table = p->findChild<QTableView*>(QStringLiteral("songTable"));
    QTest::keyClicks(search, QStringLiteral("BELLS"));
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(table->model()->index(1, SongTableModel::TitleColumn).data().toString(), QStringLiteral("Gamma Bells"));
    search->setText(QStringLiteral("nothing like it"));
    EXPECT_EQ(table->model()->rowCount(), 0);
    EXPECT_FALSE(p->findChild<QPushButton*>(QStringLiteral("chooseButton"))->isEnabled());
    search->clear();
    EXPECT_EQ(table->model()->rowCount(), 3);
}

TEST_F(Window, CancelLeavesTheStartScreenShowing) {
    QPointer<MPMediaPickerController> p = openPicker();
    ASSERT_TRUE(p);
    p->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    EXPECT_TRUE(afterDeletions([&] { return p.isNull(); }));
    EXPECT_EQ(stack()->topScreen(), startScreen());
    EXPECT_FALSE(window->navigator()->ringtune());
    // Esc on the picker is a cancel as well.
    p = openPicker();
    ASSERT_TRUE(p);
    p->reject();
    EXPECT_TRUE(afterDeletions([&] { return p.isNull(); }));
    EXPECT_TRUE(startScreen());
}

TEST_F(Window, ChoosingASongClosesPickerAndStartScreenAndNamesTheWindow) {
    QPointer<MPMediaPickerController> p = openPicker();
    ASSERT_TRUE(p);
    auto* table = p->findChild<QTableView*>(QStringLiteral("songTable"));
    table->selectRow(1);
    auto* choose = p->findChild<QPushButton*>(QStringLiteral("chooseButton"));
    ASSERT_TRUE(choose->isEnabled());
    choose->click();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(afterDeletions([&] { return p.isNull(); }));
    ASSERT_TRUE(window->navigator()->ringtune());
    EXPECT_EQ(window->navigator()->ringtune()->title(), QStringLiteral("Beta Drums"));
    EXPECT_FALSE(window->navigator()->ringtune()->isMP4());
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Beta Drums")));
    EXPECT_EQ(stack()->topScreen(), stack()->rootScreen());
    EXPECT_TRUE(afterDeletions([this] { return !startScreen(); })) << "the start screen is gone";

    // With a working ringtone, Ctrl+O opens the editor's own picker.
    window->findChild<QAction*>(QStringLiteral("pickAction"))->trigger();
    MPMediaPickerController* again = window->navigator()->editorPicker();
    ASSERT_TRUE(again);
    ASSERT_TRUE(test::waitUntil([again] { return again->isLoaded(); }, 10000));
    again->reject();
    ASSERT_TRUE(settled());
    EXPECT_FALSE(startScreen()) << "cancelling the editor's picker keeps the song";
}

TEST_F(Window, HelpLoadsTheShippedPageOfflineAndEscapeClosesIt) {
    HelpWebViewWidget* help = window->navigator()->helpScreen();
    ASSERT_TRUE(help);
    int asked = 0;
    help->controller().setReachabilityStatusProvider([&asked] {
        ++asked;
        return NotReachable;
    });
    window->findChild<QAction*>(QStringLiteral("helpAction"))->trigger();
    EXPECT_TRUE(stack()->isPresented(help));
    ASSERT_TRUE(settled());
    auto* page = help->findChild<QTextBrowser*>(QStringLiteral("webView"));
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->toPlainText().contains(QStringLiteral("Making a ringtone")));
    EXPECT_TRUE(page->toPlainText().contains(QStringLiteral("Ctrl+R")));
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(alert()) << "no \"Internet\" alert for the local page";
    EXPECT_FALSE(help->findChild<QWidget*>(QStringLiteral("activity"))->isVisible());

    // A link stays inside the viewer.
    emit page->anchorClicked(QUrl(QStringLiteral("#keys")));
    EXPECT_EQ(help->currentUrl().fragment(), QStringLiteral("keys"));
    EXPECT_TRUE(help->currentUrl().isLocalFile());

    window->findChild<QShortcut*>(QStringLiteral("escapeShortcut"))->activated();
    ASSERT_TRUE(settled());
    EXPECT_FALSE(stack()->isPresented(help));
    EXPECT_EQ(stack()->topScreen(), startScreen());
}

TEST_F(Window, TheScaleIsRememberedInTheUserDefaults) {
    EXPECT_EQ(window->scalePercent(), MainWindow::kDefaultScalePercent);
    EXPECT_EQ(window->canvas()->size(), QSize(480, 720));
    window->findChild<QAction*>(QStringLiteral("scale200Action"))->trigger();
    EXPECT_EQ(window->canvas()->size(), QSize(640, 960));
    EXPECT_EQ(stack()->size(), QSize(320, 480)) << "the screens keep their points";
    EXPECT_EQ(UserDefaults::windowDefaults().integerForKey(QString::fromLatin1(MainWindow::kScaleKey)), 200);
    EXPECT_FALSE(UserDefaults::standardUserDefaults().hasKey(QString::fromLatin1(MainWindow::kScaleKey)))
        << "window settings live in the config folder, not beside the rating counters";

    window.reset();
    UserDefaults::windowDefaults().reload();
    MainWindow again(MPMediaLibrary::defaultMediaLibrary());
    EXPECT_EQ(again.scalePercent(), 200);
    EXPECT_TRUE(again.findChild<QAction*>(QStringLiteral("scale200Action"))->isChecked());
    EXPECT_FALSE(again.findChild<QAction*>(QStringLiteral("scale150Action"))->isChecked());
}

TEST_F(Window, ResizedFreelyTheCanvasFitsKeepingItsShapeAndPresetsStillApply) {
    window->resize(1000, 700);
    const QSize area = window->canvas()->size();
    const qreal fit = std::min(area.width() / 320.0, area.height() / 480.0);
    EXPECT_DOUBLE_EQ(window->canvas()->scale(), fit);
    EXPECT_GT(area.width(), 640) << "the canvas fills the window's width; the picture keeps 2:3 inside it";
    // The scaled screen shows whole and centred.
    const QRect shown = window->canvas()->mapFromScene(QRectF(0, 0, 320, 480)).boundingRect();
    EXPECT_NEAR(shown.width() / double(shown.height()), 2.0 / 3.0, 0.01);
    EXPECT_NEAR(shown.center().x(), area.width() / 2.0, 2);
    EXPECT_GE(shown.top(), -1);
    EXPECT_LE(shown.bottom(), area.height());
    for (int percent : MainWindow::scaleChoices())
        EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("scale%1Action").arg(percent))->isChecked());

    window->findChild<QAction*>(QStringLiteral("scale100Action"))->trigger();
    EXPECT_EQ(window->canvas()->size(), QSize(320, 480));
    EXPECT_DOUBLE_EQ(window->canvas()->scale(), 1.0);
    EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("scale100Action"))->isChecked());

    // Closed at a size of its own, it opens at that size again.
    window->resize(700, 900);
    window->close();
    window.reset();
    MainWindow again(MPMediaLibrary::defaultMediaLibrary());
    EXPECT_EQ(again.size(), QSize(700, 900));
    EXPECT_FALSE(again.windowIcon().isNull()) << "the built-in icon when no theme has one";
}

TEST_F(Window, TheAboutBoxNamesVersionLicenceLibrariesAndHomePage) {
    window->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
    auto* about = window->findChild<QDialog*>(QStringLiteral("aboutBox"));
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(about->findChild<QLabel*>(QStringLiteral("nameLabel"))->text().contains(QStringLiteral(QUORVEL_VERSION)));
    EXPECT_TRUE(about->findChild<QLabel*>(QStringLiteral("licenceLabel"))->text().contains(QStringLiteral("GPL-2.0-or-later")));
    const QString libraries = about->findChild<QLabel*>(QStringLiteral("librariesLabel"))->text();
    for (const char* name : {"FFmpeg", "Rubber Band", "TagLib", "SQLite", "SDL"})
        EXPECT_TRUE(libraries.contains(QLatin1String(name))) << name;
    EXPECT_TRUE(libraries.contains(QStringLiteral("<td>Qt</td><td>&nbsp;&nbsp;%1</td>").arg(QLatin1String(qVersion()))));
    // SQLite's version as the sqlite3 program of the same library reports it.
    const QString sqlite = test::runTool(QStringLiteral("sqlite3"), {QStringLiteral("-version")}).out.section(QLatin1Char(' '), 0, 0);
    EXPECT_TRUE(libraries.contains(QStringLiteral("<td>SQLite</td><td>&nbsp;&nbsp;%1</td>").arg(sqlite))) << libraries.toStdString();
    // SDL, opened when first needed, is the one its development files describe.
    const QString sdl = test::runTool(QStringLiteral("pkg-config"), {QStringLiteral("--modversion"), QStringLiteral("sdl2")}).out.trimmed();
    EXPECT_TRUE(libraries.contains(QStringLiteral("<td>SDL</td><td>&nbsp;&nbsp;%1</td>").arg(sdl))) << libraries.toStdString();
    EXPECT_TRUE(about->findChild<QLabel*>(QStringLiteral("homePageLabel"))->text().contains(QStringLiteral("https://quorvel.org/")));
    about->close();
}

TEST_F(Window, DroppedFlacOggOpusAndWavPackSongsArePicked) {
    const QString wav = home.path() + QStringLiteral("/tone.wav");
    ASSERT_TRUE(test::writeWav16(wav, test::sine(550, 1.0), 44100, 1));
    for (const char* ext : {"flac", "ogg", "opus", "wv"}) {
        const QString song = home.path() + QStringLiteral("/Dropped %1.%2").arg(QLatin1String(ext), QLatin1String(ext));
        const auto made = test::runTool(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"),
                                        QStringLiteral("-i"), wav, song});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        drop(song);
        ASSERT_TRUE(test::waitUntil([&] {
            return window->navigator()->ringtune() &&
                   window->navigator()->ringtune()->title() == QStringLiteral("Dropped %1").arg(QLatin1String(ext));
        }, 20000)) << ext;
        ASSERT_TRUE(settled());
    }
}

TEST_F(Window, DroppingASongPicksItAndOtherFilesAreRefused) {
    const QString outside = home.path() + QStringLiteral("/Dropped Tune.wav");
    ASSERT_TRUE(test::writeWav16(outside, test::sine(660, 0.5), 44100, 1));
    const QString text = home.path() + QStringLiteral("/notes.txt");
    QFile(text).open(QIODevice::WriteOnly);
    drop(text);
    EXPECT_FALSE(window->navigator()->ringtune());

    drop(outside);
    ASSERT_TRUE(settled());
    ASSERT_TRUE(window->navigator()->ringtune());
    EXPECT_EQ(window->navigator()->ringtune()->title(), QStringLiteral("Dropped Tune"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Dropped Tune — Quorvel"));
    EXPECT_EQ(stack()->topScreen(), stack()->rootScreen());
}

TEST_F(Window, AProtectedSongIsRefusedAndTheStartScreenComesBack) {
    const QString locked = home.path() + QStringLiteral("/Locked.m4p");
    QFile f(locked);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1024, '\0'));
    f.close();
    window->navigator()->pickFile(locked);
    ASSERT_TRUE(settled());
    AlertView* drm = alert();
    ASSERT_TRUE(drm);
    EXPECT_EQ(drm->title(), QStringLiteral("DRM"));
    EXPECT_EQ(drm->message(), NSLocalizedString(QStringLiteral("drm_protected")));
    EXPECT_FALSE(window->navigator()->ringtune());
    EXPECT_EQ(stack()->topScreen(), startScreen()) << "without a working ringtone the start screen shows again";
    drm->button(0)->click();
    EXPECT_TRUE(stack()->isInteractive());
}

} // namespace

TEST_F(Window, KeysStepTheStartAndOpenAndCloseTheScreens) {
    // The list and the export read the store, as in the program.
    PersistentStack store(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
    DBHelper::dbHelper().setManagedObjectContext(store.managedObjectContext());
    struct ForgetStore {
        ~ForgetStore() { DBHelper::dbHelper().setManagedObjectContext(nullptr); }
    } forget;
    const QString song = home.path() + QStringLiteral("/Keys Tune.wav");
    ASSERT_TRUE(test::writeWav16(song, test::sine(440, 10.0), 44100, 1));
    window->navigator()->pickFile(song);
    ASSERT_TRUE(settled());
    MainViewWidget* editor = window->navigator()->editor();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(test::waitUntil([editor] { return !editor->presenter().isLoading(); }));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto label = [editor](const char* name) {
        return editor->findChild<QLabel*>(QString::fromLatin1(name))->text();
    };
    const auto key = [this](int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(window.get(), Qt::Key(k), mods);
        return settled();
    };

    ASSERT_EQ(label("startLabel"), QStringLiteral("00:00.0"));
    ASSERT_TRUE(key(Qt::Key_Right));
    ASSERT_TRUE(key(Qt::Key_Right));
    EXPECT_FLOAT_EQ(editor->presenter().controls().start(), 0.2f);
    EXPECT_EQ(label("startLabel"), QStringLiteral("00:00.2"));
    ASSERT_TRUE(key(Qt::Key_Left));
    EXPECT_FLOAT_EQ(editor->presenter().controls().start(), 0.1f);
    ASSERT_TRUE(key(Qt::Key_Right, Qt::ShiftModifier));
    EXPECT_FLOAT_EQ(editor->presenter().controls().length(), 3.1f);
    ASSERT_TRUE(key(Qt::Key_Left, Qt::ShiftModifier));
    EXPECT_FLOAT_EQ(editor->presenter().controls().length(), 3.0f);

    // Space previews (prepared first), Space again stops.
    ASSERT_TRUE(key(Qt::Key_Space));
    ASSERT_TRUE(test::waitUntil([editor] { return editor->presenter().isPlaying(); }));
    ASSERT_TRUE(key(Qt::Key_Space));
    EXPECT_FALSE(editor->presenter().isPlaying());

    // Ctrl+R: the recorder; Esc closes it and the song stays.
    ASSERT_TRUE(key(Qt::Key_R, Qt::ControlModifier));
    QPointer<RecorderViewWidget> recorder = window->navigator()->recorderScreen();
    ASSERT_TRUE(recorder);
    EXPECT_EQ(stack()->topScreen(), recorder.data());
    ASSERT_TRUE(key(Qt::Key_Escape));
    EXPECT_TRUE(afterDeletions([&] { return recorder.isNull(); }));
    EXPECT_EQ(stack()->topScreen(), stack()->rootScreen());
    EXPECT_EQ(window->navigator()->ringtune()->title(), QStringLiteral("Keys Tune"));

    // F1: help; Esc closes it.
    ASSERT_TRUE(key(Qt::Key_F1));
    EXPECT_EQ(stack()->topScreen(), window->navigator()->helpScreen());
    ASSERT_TRUE(key(Qt::Key_Escape));
    EXPECT_EQ(stack()->topScreen(), stack()->rootScreen());

    // Ctrl+L: the ringtone list.
    ASSERT_TRUE(key(Qt::Key_L, Qt::ControlModifier));
    QPointer<QWidget> list = stack()->topScreen();
    EXPECT_NE(list.data(), stack()->rootScreen());
    ASSERT_TRUE(key(Qt::Key_Escape));
    EXPECT_TRUE(afterDeletions([&] { return list.isNull(); }));

    // Ctrl+E: the export screen over the editor; Esc cancels the export and closes it.
    ASSERT_TRUE(key(Qt::Key_E, Qt::ControlModifier));
    ASSERT_TRUE(test::waitUntil([this] { return window->navigator()->exportScreen() != nullptr; }, 60000));
    QPointer<ExportViewWidget> exporting = window->navigator()->exportScreen();
    ASSERT_TRUE(settled());
    EXPECT_EQ(stack()->topScreen(), exporting.data());
    ASSERT_TRUE(key(Qt::Key_Escape));
    EXPECT_TRUE(test::waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return exporting.isNull();
    }, 60000));
    EXPECT_EQ(stack()->topScreen(), stack()->rootScreen());

    // Ctrl+O: the editor's own picker.
    ASSERT_TRUE(key(Qt::Key_O, Qt::ControlModifier));
    MPMediaPickerController* again = window->navigator()->editorPicker();
    ASSERT_TRUE(again);
    again->reject();
    ASSERT_TRUE(settled());
}

// The recorder and the list need no song: their keys work on the start
// screen, and closing them leaves the start screen where it was.
TEST_F(Window, OnTheStartScreenCtrlRRecordsAndCtrlLListsAndTheStartScreenStays) {
    PersistentStack store(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
    DBHelper::dbHelper().setManagedObjectContext(store.managedObjectContext());
    struct ForgetStore {
        ~ForgetStore() { DBHelper::dbHelper().setManagedObjectContext(nullptr); }
    } forget;
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_TRUE(settled());
    QPointer<StartViewWidget> start = startScreen();
    ASSERT_TRUE(start);
    QTest::keyClick(window.get(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(settled());
    QPointer<RecorderViewWidget> recorder = window->navigator()->recorderScreen();
    ASSERT_TRUE(recorder);
    EXPECT_EQ(stack()->topScreen(), recorder.data());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_TRUE(settled());
    EXPECT_TRUE(afterDeletions([&] { return recorder.isNull(); }));
    EXPECT_EQ(stack()->topScreen(), start.data()) << "the same start screen, not closed and made again";

    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(settled());
    QPointer<QWidget> list = stack()->topScreen();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->objectName(), QStringLiteral("FileManagerTableView"));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_TRUE(settled());
    EXPECT_TRUE(afterDeletions([&] { return list.isNull(); }));
    EXPECT_EQ(stack()->topScreen(), start.data());
    EXPECT_FALSE(window->navigator()->ringtune());
}

TEST_F(Window, TheSongWaveformIsAViewOptionOffByDefaultAndRemembered) {
    auto* action = window->findChild<QAction*>(QStringLiteral("songWaveformAction"));
    ASSERT_TRUE(action);
    EXPECT_EQ(action->text(), QStringLiteral("Song &Waveform")); // Alt+V, then W
    EXPECT_TRUE(action->isCheckable());
    EXPECT_FALSE(action->isChecked());
    MainViewController& presenter = window->navigator()->editorPresenter();
    EXPECT_FALSE(presenter.isSongWaveformShown());
    action->trigger();
    EXPECT_TRUE(presenter.isSongWaveformShown());
    EXPECT_TRUE(UserDefaults::windowDefaults().boolForKey(QString::fromLatin1(MainWindow::kSongWaveformKey)));
    window.reset();
    window = std::make_unique<MainWindow>(MPMediaLibrary::defaultMediaLibrary());
    action = window->findChild<QAction*>(QStringLiteral("songWaveformAction"));
    EXPECT_TRUE(action->isChecked());
    EXPECT_TRUE(window->navigator()->editorPresenter().isSongWaveformShown());
    action->trigger();
    EXPECT_FALSE(window->navigator()->editorPresenter().isSongWaveformShown());
    EXPECT_FALSE(UserDefaults::windowDefaults().boolForKey(QString::fromLatin1(MainWindow::kSongWaveformKey)));
}

TEST_F(Window, PageKeysHomeEndAndCtrlTMoveTheStart) {
    const QString song = home.path() + QStringLiteral("/Pages.wav");
    ASSERT_TRUE(test::writeWav16(song, test::sine(440, 60.0, 8000), 8000, 1));
    window->navigator()->pickFile(song);
    ASSERT_TRUE(settled());
    MainViewWidget* editor = window->navigator()->editor();
    ASSERT_TRUE(test::waitUntil([editor] { return !editor->presenter().isLoading(); }));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const EditorControls& c = editor->presenter().controls();
    const auto key = [this](int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, Qt::Key(k), mods);
    };
    key(Qt::Key_PageDown);
    key(Qt::Key_PageDown);
    EXPECT_EQ(c.start(), 10.0f);
    key(Qt::Key_PageUp);
    EXPECT_EQ(c.start(), 5.0f);
    key(Qt::Key_End);
    EXPECT_EQ(c.start(), 57.0f);
    key(Qt::Key_PageDown);
    EXPECT_EQ(c.start(), 57.0f);
    key(Qt::Key_Home);
    EXPECT_EQ(c.start(), 0.0f);
    key(Qt::Key_PageDown);
    // Ctrl+T: type the start; the editor's keys (Space, Home) are the field's meanwhile.
    key(Qt::Key_T, Qt::ControlModifier);
    auto* entry = editor->findChild<QLineEdit*>(QStringLiteral("startEntry"));
    ASSERT_TRUE(entry);
    ASSERT_TRUE(entry->isVisible());
    EXPECT_TRUE(entry->hasFocus());
    key(Qt::Key_Home);
    EXPECT_EQ(c.start(), 5.0f);
    entry->selectAll();
    QTest::keyClicks(entry, QStringLiteral("0:42.5 "));
    EXPECT_FALSE(editor->presenter().isPlaying());
    key(Qt::Key_Return);
    EXPECT_EQ(c.start(), 42.5f);
    EXPECT_FALSE(entry->isVisible());
    key(Qt::Key_Home);
    EXPECT_EQ(c.start(), 0.0f) << "the keys are the editor's again";
}

TEST_F(Window, ClosingTheWindowDuringAnExportStopsItCleanly) {
    const QString song = home.path() + QStringLiteral("/Long Tune.wav");
    ASSERT_TRUE(test::writeWav16(song, test::sine(440, 45.0), 44100, 1));
    window->navigator()->pickFile(song);
    ASSERT_TRUE(settled());
    MainViewWidget* editor = window->navigator()->editor();
    ASSERT_TRUE(test::waitUntil([editor] { return !editor->presenter().isLoading(); }));
    editor->presenter().rangeValueChanged(39.0f);
    editor->presenter().preProcessRingtoneForExport();
    ASSERT_TRUE(test::waitUntil([this] { return window->navigator()->exportScreen() != nullptr; }, 60000));
    window->close();
    window.reset();
    // The export's worker was stopped and joined; what it leaves is either
    // nothing or a whole ringtone.
    const QStringList left = QDir(Paths::documentsDirectory()).entryList({QStringLiteral("*.m4r")}, QDir::Files);
    for (const QString& name : left) {
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), Paths::documentPath(name)});
        ASSERT_TRUE(probe.waitForFinished(30000));
        EXPECT_EQ(probe.exitCode(), 0) << name.toStdString() << probe.readAllStandardError().toStdString();
    }
}

// A drop while the export screen shows once closed it without its finishing
// path: the editor stayed busy and every button was dead until a restart.
TEST_F(Window, ADropOverARunningExportIsRefusedWithANotice) {
    drop(music + QStringLiteral("/Alpha Bells.wav"));
    ASSERT_TRUE(settled());
    MainViewWidget* editor = window->navigator()->editor();
    ASSERT_TRUE(test::waitUntil([editor] { return !editor->presenter().isLoading(); }));
    // An export that runs as long as the test needs.
    auto running = std::make_shared<ExportViewController>();
    window->navigator()->presentExportScreen(running);
    ASSERT_TRUE(settled());
    drop(music + QStringLiteral("/Beta Drums.wav"));
    ASSERT_TRUE(test::waitUntil([this] { return alert() != nullptr; }, 5000));
    EXPECT_TRUE(alert()->message().contains(QStringLiteral("exported"))) << alert()->message().toStdString();
    EXPECT_TRUE(stack()->isPresented(window->navigator()->exportScreen()));
    EXPECT_EQ(window->navigator()->ringtune()->title(), QStringLiteral("Alpha Bells"));
    alert()->button(0)->click();
    ASSERT_TRUE(afterDeletions([this] { return alert() == nullptr; }));
    running->exportCouldNotStart(QStringLiteral("stopped by the test"));
    // Once it has ended, a drop closes the screen and picks the song.
    drop(music + QStringLiteral("/Beta Drums.wav"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(window->navigator()->ringtune()->title(), QStringLiteral("Beta Drums"));
    EXPECT_TRUE(afterDeletions([this] { return window->navigator()->exportScreen() == nullptr; }));
}

TEST_F(Window, ADropOverAFinishedExportClosesItAndTheEditorWorksOn) {
    PersistentStack store(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
    DBHelper::dbHelper().setManagedObjectContext(store.managedObjectContext());
    struct ForgetStore {
        ~ForgetStore() { DBHelper::dbHelper().setManagedObjectContext(nullptr); }
    } forget;
    window->navigator()->pickFile(music + QStringLiteral("/Alpha Bells.wav"));
    ASSERT_TRUE(settled());
    MainViewWidget* editor = window->navigator()->editor();
    MainViewController& presenter = editor->presenter();
    ASSERT_TRUE(test::waitUntil([&] { return !presenter.isLoading(); }));
    presenter.preProcessRingtoneForExport();
    ASSERT_TRUE(test::waitUntil([this] { return window->navigator()->exportScreen() != nullptr; }, 60000));
    auto screen = window->navigator()->exportScreen()->controller();
    ASSERT_TRUE(test::waitUntil([&] { return screen->outcome() == ExportViewController::Outcome::Done; }, 60000));
    ASSERT_TRUE(settled());
    drop(music + QStringLiteral("/Gamma Bells.wav"));
    ASSERT_TRUE(settled());
    EXPECT_TRUE(afterDeletions([this] { return window->navigator()->exportScreen() == nullptr; }));
    EXPECT_EQ(window->navigator()->ringtune()->title(), QStringLiteral("Gamma Bells"));
    ASSERT_TRUE(test::waitUntil([&] { return !presenter.isLoading(); }));
    // Not locked: the next export starts.
    EXPECT_TRUE(presenter.areControlsEnabled());
    presenter.preProcessRingtoneForExport();
    ASSERT_TRUE(test::waitUntil([this] { return window->navigator()->exportScreen() != nullptr; }, 60000));
    // It ends while this test's store is still open.
    auto next = window->navigator()->exportScreen()->controller();
    EXPECT_TRUE(test::waitUntil([&] { return next->outcome() == ExportViewController::Outcome::Done; }, 60000));
}
