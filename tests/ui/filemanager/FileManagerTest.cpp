#include "DrawnText.h"
#include "TestSupport.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"
#include "ringtones/Ringtone.h"
#include "ui/common/ActionSheet.h"
#include "ui/common/ScreenStack.h"
#include "ui/filemanager/FMCellView.h"
#include "ui/filemanager/FileManagerTableModel.h"
#include "ui/filemanager/FileManagerViewWidget.h"
#include "ui/mail/MFMailComposeViewController.h"
#include "ui/player/PlayViewWidget.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// A player that only says whether it plays: finishing is up to the test.
class FakeFilePlayer : public RingtoneFilePlayer {
public:
    FakeFilePlayer(int* created, int* stops) : stops_(stops) { ++*created; }
    bool play() override { playing = true; return true; }
    void stop() override {
        if (playing) ++*stops_;
        playing = false;
    }
    float rate() const override { return 1.0f; }
    void setFinishHandler(FinishHandler handler) override { finish = std::move(handler); }
    bool playing = false;
    FinishHandler finish;

private:
    int* stops_;
};

class Back : public FileManagerViewControllerDelegate {
public:
    void fileManagerControllerDidFinish(FileManagerViewController*) override { ++calls; }
    int calls = 0;
};

std::vector<QString> logLines;
void captureLog(const QString& line) { logLines.push_back(line); }

QByteArray pngOf(QColor colour) {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

class List : public ::testing::Test {
protected:
    void SetUp() override {
        Ringtone::registerClass();
        store = std::make_unique<PersistentStack>(Paths::documentPath(kStoreFileName));
        DBHelper::dbHelper().setManagedObjectContext(store->managedObjectContext());
        logLines.clear();
        setLogSink(captureLog);
    }
    void TearDown() override {
        stack.reset();
        setLogSink(nullptr);
        DBHelper::dbHelper().setManagedObjectContext(nullptr);
    }

    std::shared_ptr<Ringtone> addRingtone(const QString& title, int counter, const QString& artist,
                                          std::optional<float> duration, qint64 ageSeconds, bool withFile = true) {
        auto context = store->managedObjectContext();
        auto row = std::dynamic_pointer_cast<Ringtone>(
            NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context.get()));
        const QString file = title + QLatin1Char('-') + QString::number(counter) + QStringLiteral(".m4r");
        row->setTitle(title);
        row->setCounter(counter);
        row->setArtist(artist);
        row->setDuration(duration);
        row->setFile(file);
        row->setDate(QDateTime::currentDateTime().addSecs(-ageSeconds));
        if (withFile) {
            QFile f(Paths::documentPath(file));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("ringtone bytes");
        }
        NSError error;
        EXPECT_TRUE(context->save(&error)) << error.localizedDescription.toStdString();
        return row;
    }

    FileManagerViewWidget* showList() {
        stack = std::make_unique<ScreenStack>();
        stack->resize(320, 480);
        auto factory = [this](const QUrl& url, NSError* error) -> std::unique_ptr<RingtoneFilePlayer> {
            if (!QFileInfo(url.toLocalFile()).isFile()) {
                error->localizedDescription = QStringLiteral("no such file");
                return nullptr;
            }
            auto player = std::make_unique<FakeFilePlayer>(&playersMade, &playersStopped);
            lastPlayer = player.get();
            return player;
        };
        auto* list = new FileManagerViewWidget(factory);
        list->controller().setDelegate(&back);
        stack->setRootScreen(new QWidget);
        stack->show();
        ScreenStack::Presentation how;
        how.style = ModalTransitionStyle::CrossDissolve;
        how.animated = false;
        stack->present(list, how);
        settle();
        return list;
    }
    void settle() {
        test::waitUntil([this] { return !stack->isTransitioning(); }, 5000);
        QCoreApplication::processEvents();
    }
    QStringList titles(FileManagerViewWidget* list) {
        QStringList out;
        for (int r = 0; r < list->model().rowCount(); ++r) out << list->model().content(r).title;
        return out;
    }

    test::TempHome home;
    std::unique_ptr<PersistentStack> store;
    std::unique_ptr<ScreenStack> stack;
    Back back;
    int playersMade = 0;
    int playersStopped = 0;
    FakeFilePlayer* lastPlayer = nullptr;
};

} // namespace

TEST_F(List, AnEmptyStoreShowsOneSectionWithoutRows) {
    auto* list = showList();
    EXPECT_EQ(list->controller().numberOfSections(), 1);
    EXPECT_EQ(list->controller().numberOfRowsInSection(0), 0);
    EXPECT_EQ(list->model().rowCount(), 0);
    EXPECT_EQ(list->controller().fetchedResultsController().cacheName(), "Ringtones");
}

TEST_F(List, RowsShowNewestFirstWithTheirTexts) {
    addRingtone("Old", 1, "A", 12.0f, 300);
    addRingtone("Bells", 2, "Band", 29.5f, 10, true)->setImage(pngOf(Qt::red));
    store->managedObjectContext()->save(nullptr);
    addRingtone("Short", 1, "B", 0.4f, 100);
    addRingtone("Found", 0, QString(), std::nullopt, 200);
    auto* list = showList();
    EXPECT_EQ(titles(list), (QStringList{"Bells-2", "Short-1", "Found-0", "Old-1"}));
    const FMCellContent bells = list->model().content(0);
    EXPECT_EQ(bells.artist, "Band");
    EXPECT_TRUE(bells.durationShown);
    EXPECT_EQ(bells.duration, "29.5");
    EXPECT_FALSE(QImage::fromData(bells.image).isNull());
    EXPECT_FALSE(list->model().content(1).durationShown); // 0.4 s
    EXPECT_TRUE(list->model().content(1).duration.isEmpty());
    EXPECT_FALSE(list->model().content(2).durationShown); // found file: no length
    EXPECT_TRUE(list->model().content(2).artist.isEmpty());
    EXPECT_EQ(list->model().data(list->model().index(0), Qt::SizeHintRole).toSize().height(), 76);
}

TEST_F(List, FollowsANewRowAndADeletionWhileShown) {
    addRingtone("First", 1, "A", 5.0f, 100);
    auto* list = showList();
    ASSERT_EQ(list->model().rowCount(), 1);
    auto newer = addRingtone("Second", 1, "A", 5.0f, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(titles(list), (QStringList{"Second-1", "First-1"}));
    // The new row fades in.
    EXPECT_LT(list->model().data(list->model().index(0), FileManagerTableModel::OpacityRole).toReal(), 1.0);
    DBHelper::dbHelper().deleteRingtone(newer);
    DBHelper::dbHelper().saveContext();
    QCoreApplication::processEvents();
    EXPECT_EQ(titles(list), (QStringList{"First-1"}));
}

TEST_F(List, ARowStoredByAnotherProgramShowsWhenTheListAppearsAgain) {
    addRingtone("Mine", 1, "A", 5.0f, 100);
    auto* list = showList();
    // Another process writes the same store file.
    {
        PersistentStack other(Paths::documentPath(kStoreFileName));
        auto context = other.managedObjectContext();
        auto row = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context.get());
        row->setValue(QStringLiteral("Cli"), QStringLiteral("title"));
        row->setValue(1, QStringLiteral("counter"));
        row->setValue(QStringLiteral("Cli-1.m4r"), QStringLiteral("file"));
        row->setValue(QDateTime::currentDateTime(), QStringLiteral("date"));
        ASSERT_TRUE(context->save(nullptr));
    }
    list->hide();
    list->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(titles(list), (QStringList{"Cli-1", "Mine-1"}));
}

TEST_F(List, DeletingOffersTheOverlayAndRemovesFileAndRow) {
    addRingtone("Keep", 1, "A", 5.0f, 100);
    addRingtone("Gone", 1, "A", 5.0f, 0);
    auto* list = showList();
    QListView* table = list->tableView();
    table->setCurrentIndex(list->model().index(0));
    QTest::keyClick(table, Qt::Key_Delete);
    ASSERT_NE(list->deleteButtonBGView(), nullptr);
    EXPECT_EQ(list->editingRow(), 0);
    // Esc takes the offer back; nothing is deleted.
    QTest::keyClick(table, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->deleteButtonBGView(), nullptr);
    EXPECT_EQ(list->model().rowCount(), 2);
    // A horizontal drag offers it again; its button deletes.
    const QRect row0 = table->visualRect(list->model().index(0));
    QTest::mousePress(table->viewport(), Qt::LeftButton, {}, row0.center());
    QMouseEvent move(QEvent::MouseMove, QPointF(row0.center() - QPoint(60, 0)), table->viewport()->mapToGlobal(QPointF(row0.center() - QPoint(60, 0))),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(table->viewport(), &move);
    QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, row0.center() - QPoint(60, 0));
    ASSERT_NE(list->deleteButtonBGView(), nullptr);
    auto* button = list->deleteButtonBGView()->findChild<QPushButton*>(QStringLiteral("deleteConfirmButton"));
    ASSERT_NE(button, nullptr);
    button->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(titles(list), (QStringList{"Keep-1"}));
    EXPECT_FALSE(QFile::exists(Paths::documentPath("Gone-1.m4r")));
    EXPECT_TRUE(QFile::exists(Paths::documentPath("Keep-1.m4r")));
    EXPECT_EQ(list->deleteButtonBGView(), nullptr);
    // Saved: the store file no longer has the row.
    const auto out = test::runTool("sqlite3", {Paths::documentPath(kStoreFileName),
                                               "SELECT group_concat(file) FROM Ringtone;"});
    EXPECT_EQ(out.exitCode, 0) << out.err.toStdString();
    EXPECT_EQ(out.out.trimmed(), "Keep-1.m4r");
}

TEST_F(List, ARowWhoseFileIsGoneIsStillDeleted) {
    addRingtone("Ghost", 1, "A", 5.0f, 0, false);
    auto* list = showList();
    list->offerDelete(0);
    list->confirmDelete();
    QCoreApplication::processEvents();
    EXPECT_EQ(list->model().rowCount(), 0);
}

TEST_F(List, BackTellsTheDelegate) {
    auto* list = showList();
    list->findChild<QPushButton*>(QStringLiteral("backButton"))->click();
    EXPECT_EQ(back.calls, 1);
}

TEST_F(List, ThePlayerShowsTheRowAndPlaysAndStops) {
    addRingtone("Bells", 2, "Band", 29.5f, 0)->setImage(pngOf(Qt::blue));
    store->managedObjectContext()->save(nullptr);
    auto* list = showList();
    QTest::keyClick(list->tableView(), Qt::Key_Return);
    settle();
    PlayViewWidget* player = list->playView();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->findChild<QLabel*>("nowPlayingLabel")->text(), "Bells-2");
    EXPECT_EQ(player->findChild<QLabel*>("nowPlayingArtist")->text(), "Band");
    EXPECT_EQ(player->findChild<QLabel*>("sec")->text(), "29.5");
    EXPECT_FALSE(player->findChild<QLabel*>("sec")->isHidden());
    EXPECT_FALSE(player->findChild<QLabel*>("labelSec")->isHidden());
    EXPECT_TRUE(player->findChild<QPushButton*>("helpButton")->isHidden());
    EXPECT_FALSE(player->controller().artwork().isNull());
    auto* play = player->findChild<QPushButton*>("playStopButton");
    EXPECT_EQ(play->property("imageName").toString(), "BigPlay.png");
    play->click();
    ASSERT_NE(lastPlayer, nullptr);
    EXPECT_TRUE(lastPlayer->playing);
    EXPECT_EQ(play->property("imageName").toString(), "stop.png");
    play->click();
    EXPECT_FALSE(player->controller().holdsPlayer());
    EXPECT_EQ(play->property("imageName").toString(), "BigPlay.png");
    play->click(); // starts again with a new player
    EXPECT_EQ(playersMade, 2);
    // The end of playback resets the button without a tap.
    lastPlayer->finish(true);
    EXPECT_EQ(play->property("imageName").toString(), "BigPlay.png");
    QCoreApplication::processEvents();
    EXPECT_FALSE(player->controller().holdsPlayer());
}

// A title too long for its place keeps its counter in the list and in the
// player (the middle is left out); with a scroll bar the rows and the delete
// button stay clear of it; the stop image is the size of the play image.
TEST_F(List, LongTitlesKeepTheirCounterAndNothingHidesUnderTheScrollBar) {
    const QString longTitle = QStringLiteral("An Extraordinarily Long Title for a Summer Song Remix");
    for (int i = 1; i <= 7; ++i) addRingtone(QStringLiteral("Tram at Dusk"), i, "The Placeholders", 12.5f, 100 - i);
    addRingtone(longTitle, 12, "Somebody With A Long Band Name Too", 29.5f, 0);
    auto* list = showList();
    QListView* view = list->tableView();
    ASSERT_TRUE(view->verticalScrollBar()->isVisible()) << "eight rows need the scroll bar";
    const int visibleWidth = view->viewport()->width();

    // What the rows draw: the long title ends with its counter; every row's
    // length is drawn inside what the list shows.
    const QStringList drawn = test::DrawnText::of(view->viewport());
    const auto row = std::find_if(drawn.begin(), drawn.end(), [](const QString& t) { return t.startsWith("An "); });
    ASSERT_NE(row, drawn.end()) << drawn.join(" | ").toStdString();
    EXPECT_TRUE(row->endsWith("-12") && row->contains(QChar(0x2026))) << row->toStdString();
    EXPECT_LE(FMCellView::frameForTag(FMCellView::DurationTag, visibleWidth).right(), visibleWidth);

    list->offerDelete(0);
    settle();
    auto* confirm = list->findChild<QPushButton*>("deleteConfirmButton");
    ASSERT_NE(confirm, nullptr);
    const QRect button(confirm->mapTo(view->viewport(), QPoint(0, 0)), confirm->size());
    EXPECT_LE(button.right(), visibleWidth - 1) << "the Delete button reaches under the scroll bar";
    list->cancelDelete();

    list->openRow(0);
    settle();
    PlayViewWidget* player = list->playView();
    ASSERT_NE(player, nullptr);
    auto* title = player->findChild<QLabel*>("nowPlayingLabel");
    EXPECT_EQ(title->text(), longTitle + "-12");
    EXPECT_TRUE(player->rect().contains(title->geometry())) << "the title makes the screen wider than it is";
    const QStringList shown = test::DrawnText::of(title);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].endsWith("-12") && shown[0].contains(QChar(0x2026))) << shown[0].toStdString();
    EXPECT_LE(title->fontMetrics().horizontalAdvance(shown[0]), title->width());

    auto* play = player->findChild<QPushButton*>("playStopButton");
    const QSize playSize = play->icon().actualSize(play->iconSize());
    play->click();
    ASSERT_EQ(play->property("imageName").toString(), "stop.png");
    EXPECT_EQ(play->icon().actualSize(play->iconSize()), playSize);
    play->click();
}

// A row whose file is gone says so; the play button never turns to Stop for
// a sound that cannot come.
TEST_F(List, ShortRowHidesTheLengthAndAMissingFileIsNamed) {
    addRingtone("Blip", 1, "A", 0.4f, 0, false);
    auto* list = showList();
    list->openRow(0);
    settle();
    PlayViewWidget* player = list->playView();
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(player->findChild<QLabel*>("sec")->isHidden());
    EXPECT_TRUE(player->findChild<QLabel*>("labelSec")->isHidden());
    player->findChild<QPushButton*>("playStopButton")->click();
    EXPECT_EQ(playersMade, 0);
    EXPECT_EQ(player->controller().playStopButtonImage(), "BigPlay.png");
    EXPECT_EQ(player->findChild<QPushButton*>("playStopButton")->property("imageName").toString(), "BigPlay.png");
    const QString notice = player->findChild<QLabel*>("label")->text();
    EXPECT_TRUE(notice.contains("Blip")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("is gone")) << notice.toStdString();
}

TEST_F(List, LeavingThePlayerWhilePlayingStopsTheSound) {
    addRingtone("Bells", 2, "Band", 29.5f, 0);
    auto* list = showList();
    list->openRow(0);
    settle();
    list->playView()->findChild<QPushButton*>("playStopButton")->click();
    ASSERT_TRUE(lastPlayer && lastPlayer->playing);
    list->playView()->findChild<QPushButton*>("cancelButton")->click();
    // Stopped at once, not when the closing transition ends.
    EXPECT_EQ(playersStopped, 1);
    EXPECT_EQ(list->playView(), nullptr);
    settle();
    EXPECT_TRUE(stack->topScreen() == list);
}

TEST_F(List, DeleteInThePlayerAsksAndYesRemovesTheRow) {
    addRingtone("Keep", 1, "A", 5.0f, 100);
    addRingtone("Bells", 2, "Band", 29.5f, 0);
    auto* list = showList();
    list->openRow(0);
    settle();
    PlayViewWidget* player = list->playView();
    player->findChild<QPushButton*>("deleteButton")->click();
    ASSERT_NE(player->actionSheet(), nullptr);
    EXPECT_EQ(player->actionSheet()->button(0)->text(), "Yes");
    EXPECT_EQ(player->actionSheet()->button(1)->text(), "No");
    player->actionSheet()->button(1)->click(); // No
    QCoreApplication::processEvents();
    EXPECT_EQ(list->playView(), player);
    EXPECT_TRUE(QFile::exists(Paths::documentPath("Bells-2.m4r")));
    player->findChild<QPushButton*>("deleteButton")->click();
    ASSERT_NE(player->actionSheet(), nullptr);
    player->actionSheet()->button(0)->click(); // Yes
    settle();
    EXPECT_EQ(list->playView(), nullptr);
    EXPECT_FALSE(QFile::exists(Paths::documentPath("Bells-2.m4r")));
    EXPECT_EQ(titles(list), (QStringList{"Keep-1"}));
}

TEST_F(List, MailHandsTheFileToTheMailClientAndReturnsToTheList) {
    addRingtone("Bells", 2, "Band", 29.5f, 0);
    // Debian's xdg-email hands the message to $MAILER: a fake client that
    // writes down the mailto: URL it gets.
    const QString client = home.path() + "/fake-mail";
    const QString received = home.path() + "/received.txt";
    QFile script(client);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\nprintf '%s\\n' \"$1\" > '" + received + "'\n").toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldMailer = qgetenv("MAILER");
    qputenv("MAILER", client.toUtf8());

    auto* list = showList();
    list->openRow(0);
    settle();
    PlayViewWidget* player = list->playView();
    player->findChild<QPushButton*>("mailButton")->click();
    MFMailComposeViewController* composer = player->mailComposer();
    ASSERT_NE(composer, nullptr);
    EXPECT_EQ(composer->attachmentFileName(), "Bells-2.m4r");
    EXPECT_EQ(composer->attachmentMimeType(), "audio/mp4");
    EXPECT_TRUE(composer->isBodyHTML());
    // The sheet names what the mail client gets: the file under its own name.
    EXPECT_TRUE(composer->findChild<QLabel*>("attachment")->text().contains("Bells-2.m4r"));
    composer->findChild<QPushButton*>("sendButton")->click();
    ASSERT_TRUE(test::waitUntil([&] { return list->playView() == nullptr; }, 10000));
    if (oldMailer.isNull()) qunsetenv("MAILER");
    else qputenv("MAILER", oldMailer);
    settle();
    EXPECT_EQ(stack->topScreen(), list);

    QFile got(received);
    ASSERT_TRUE(got.open(QIODevice::ReadOnly)) << "the mail client was not run";
    const QString mailto = QString::fromUtf8(got.readAll()).trimmed();
    ASSERT_TRUE(mailto.startsWith("mailto:?")) << mailto.toStdString();
    const QUrlQuery query(mailto.mid(8));
    EXPECT_EQ(QFileInfo(query.queryItemValue("attach", QUrl::FullyDecoded)).fileName(), "Bells-2.m4r");
    EXPECT_FALSE(query.queryItemValue("subject", QUrl::FullyDecoded).isEmpty()) << mailto.toStdString();
    EXPECT_FALSE(query.queryItemValue("body", QUrl::FullyDecoded).isEmpty()) << mailto.toStdString();
}

TEST_F(List, CancelledMailAlsoReturnsToTheList) {
    addRingtone("Bells", 2, "Band", 29.5f, 0);
    auto* list = showList();
    list->openRow(0);
    settle();
    list->playView()->findChild<QPushButton*>("mailButton")->click();
    list->playView()->mailComposer()->findChild<QPushButton*>("cancelButton")->click();
    settle();
    EXPECT_EQ(list->playView(), nullptr);
    EXPECT_EQ(stack->topScreen(), list);
}

// Pictures of the screens for people to look at: QUORVEL_SHOTS=<folder>.
TEST_F(List, Screenshots) {
    const QString dir = qEnvironmentVariable("QUORVEL_SHOTS");
    if (dir.isEmpty()) GTEST_SKIP() << "QUORVEL_SHOTS not set";
    const QColor colours[] = {Qt::darkCyan, Qt::darkMagenta, Qt::darkYellow, Qt::darkGreen};
    const char* titles[] = {"Bells", "Morning", "Drums", "Choir", "Blip", "Piano"};
    for (int i = 0; i < 6; ++i) {
        auto row = addRingtone(titles[i], i + 1, QStringLiteral("Band %1").arg(i), i == 4 ? 0.4f : 9.5f + float(i * 4), i * 60);
        if (i % 2 == 0) row->setImage(pngOf(colours[i % 4]));
    }
    store->managedObjectContext()->save(nullptr);
    auto* list = showList();
    list->model().reloadData();
    stack->grab().save(dir + "/list.png");
    list->offerDelete(1);
    QTest::qWait(400);
    stack->grab().save(dir + "/list-delete.png");
    list->cancelDelete();
    list->openRow(0);
    settle();
    QTest::qWait(100);
    stack->grab().save(dir + "/player.png");
    SUCCEED();
}
