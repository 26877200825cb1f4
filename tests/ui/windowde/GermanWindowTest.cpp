// The real window under a German locale (LANG=de_DE.UTF-8): the catalogue is
// installed as the program's main installs it, before the window is made, and
// the start screen, the editor, the list and the menus speak German; under
// LANG=C the same controls keep their English texts.
#include "MainWindow.h"
#include "Navigator.h"
#include "TestSupport.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "platform/store/PersistentStack.h"
#include "platform/translations/Translations.h"
#include "ringtones/DBHelper.h"
#include "screens/MainViewController.h"
#include "ui/common/ScreenStack.h"
#include "ui/editor/MainViewWidget.h"
#include "ui/start/StartViewWidget.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class LocaleWindow : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"}) qunsetenv(name);
        qputenv("LANG", GetParam());
        language = Translations::install();
        QDir().mkpath(home.path() + QStringLiteral("/Music"));
        QDir().mkpath(home.path() + QStringLiteral("/NoDemo"));
        qputenv("QUORVEL_MUSIC", (home.path() + QStringLiteral("/Music")).toUtf8());
        qputenv("QUORVEL_DEMO_DIR", (home.path() + QStringLiteral("/NoDemo")).toUtf8());
        UserDefaults::standardUserDefaults().reload();
        UserDefaults::windowDefaults().reload();
        MPMediaLibrary::defaultMediaLibrary().scanNow();
        store = std::make_unique<PersistentStack>(Paths::documentPath(QStringLiteral(".Quorvel.sqlite")));
        DBHelper::dbHelper().setManagedObjectContext(store->managedObjectContext());
        window = std::make_unique<MainWindow>(MPMediaLibrary::defaultMediaLibrary());
        window->show();
    }
    void TearDown() override {
        window.reset();
        DBHelper::dbHelper().setManagedObjectContext(nullptr);
        store.reset();
        qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator*>());
        qunsetenv("LANG");
        qunsetenv("QUORVEL_MUSIC");
        qunsetenv("QUORVEL_DEMO_DIR");
        UserDefaults::standardUserDefaults().reload();
    }
    bool german() const { return language == QLatin1String("de"); }
    template <typename W> QString text(QWidget* in, const char* name) const {
        W* widget = in ? in->findChild<W*>(QString::fromLatin1(name)) : nullptr;
        return widget ? widget->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
    }
    // The editor with a song in it (a picked file).
    MainViewWidget* editorWithSong() {
        const QString song = home.path() + QStringLiteral("/Glocken.wav");
        if (!test::writeWav16(song, test::sine(440, 5.0), 44100, 1)) return nullptr;
        window->navigator()->pickFile(song);
        MainViewWidget* editor = window->navigator()->editor();
        if (!editor || !test::waitUntil([editor] { return !editor->presenter().isLoading(); }, 10000)) return nullptr;
        test::waitUntil([this] { return !window->stack()->isTransitioning(); }, 5000);
        return editor;
    }

    test::TempHome home;
    std::unique_ptr<PersistentStack> store;
    std::unique_ptr<MainWindow> window;
    QString language;
};

} // namespace

TEST_P(LocaleWindow, TheStartScreenAndTheMenus) {
    StartViewWidget* start = window->navigator()->startScreen();
    ASSERT_TRUE(start);
    QStringList menus;
    for (QAction* menu : window->menuBar()->actions()) menus << menu->text();
    if (german()) {
        EXPECT_EQ(text<QPushButton>(start, "fmButton"), QStringLiteral("Song wählen"));
        EXPECT_EQ(text<QLabel>(start, "subtitleLabel"), QStringLiteral("Ein Klingelton aus jedem Song"));
        EXPECT_EQ(menus, (QStringList{QStringLiteral("&Datei"), QStringLiteral("&Ansicht"), QStringLiteral("&Hilfe")}));
    } else {
        EXPECT_EQ(text<QPushButton>(start, "fmButton"), QStringLiteral("Choose a Song"));
        EXPECT_EQ(text<QLabel>(start, "subtitleLabel"), QStringLiteral("Make a ringtone from any song"));
        EXPECT_EQ(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&View"), QStringLiteral("&Help")}));
    }
}

TEST_P(LocaleWindow, TheEditorAndTheList) {
    MainViewWidget* editor = editorWithSong();
    ASSERT_TRUE(editor);
    const QString lengthCaption = text<QLabel>(editor, "rangeCaption");
    const QString pitchCaption = text<QLabel>(editor, "pitchCaption");
    const QString loudness = text<QLabel>(editor, "normalizeLoudnessCaption");
    const QString listButton = text<QPushButton>(editor, "listButton");
    // The switch's labels come from the strings table.
    const QString switchOn = text<QLabel>(editor, "leftLabel");

    editor->findChild<QPushButton*>(QStringLiteral("listButton"))->click();
    QWidget* list = nullptr;
    ASSERT_TRUE(test::waitUntil([&] {
        list = window->stack()->topScreen();
        return list && list->objectName() == QLatin1String("FileManagerTableView") && !window->stack()->isTransitioning();
    }, 5000));
    if (german()) {
        EXPECT_EQ(lengthCaption, QStringLiteral("Länge"));
        EXPECT_EQ(pitchCaption, QStringLiteral("Tonhöhe"));
        EXPECT_EQ(loudness, QStringLiteral("Lautheit angleichen"));
        EXPECT_EQ(listButton, QStringLiteral("☰\nListe"));
        EXPECT_EQ(switchOn, QStringLiteral("EIN"));
        EXPECT_EQ(text<QPushButton>(list, "backButton"), QStringLiteral("Zurück"));
        EXPECT_EQ(text<QLabel>(list, "titleLabel"), QStringLiteral("Klingeltöne"));
    } else {
        EXPECT_EQ(lengthCaption, QStringLiteral("Length"));
        EXPECT_EQ(pitchCaption, QStringLiteral("Pitch"));
        EXPECT_EQ(loudness, QStringLiteral("Normalize Loudness"));
        EXPECT_EQ(listButton, QStringLiteral("☰\nList"));
        EXPECT_EQ(switchOn, QStringLiteral("ON"));
        EXPECT_EQ(text<QPushButton>(list, "backButton"), QStringLiteral("Back"));
        EXPECT_EQ(text<QLabel>(list, "titleLabel"), QStringLiteral("Ringtones"));
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleWindow, ::testing::Values("de_DE.UTF-8", "C"),
                         [](const auto& locale) { return std::string(locale.index == 0 ? "German" : "C"); });
