// The player's ways out and the list's rows dragged out: where the new
// buttons sit and what they are called, and the data a drag carries.
#include "FakeDesktop.h"
#include "TestSupport.h"
#include "platform/core/Paths.h"
#include "platform/store/NSEntityDescription.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"
#include "ringtones/Ringtone.h"
#include "ui/filemanager/FileManagerTableModel.h"
#include "ui/filemanager/FileManagerViewWidget.h"
#include "ui/player/PlayViewWidget.h"
#include "ui/waysout/FileDragSource.h"

#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class Silent : public RingtoneFilePlayer {
public:
    bool play() override { return true; }
    void stop() override {}
    float rate() const override { return 0.0f; }
    void setFinishHandler(FinishHandler) override {}
};

class WaysOut : public ::testing::Test {
protected:
    void SetUp() override {
        Ringtone::registerClass();
        store = std::make_unique<PersistentStack>(Paths::documentPath(kStoreFileName));
        DBHelper::dbHelper().setManagedObjectContext(store->managedObjectContext());
        auto context = store->managedObjectContext();
        row = std::dynamic_pointer_cast<Ringtone>(
            NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context.get()));
        row->setTitle(QStringLiteral("Tram at Dusk"));
        row->setCounter(1);
        row->setArtist(QStringLiteral("The Placeholders"));
        row->setDuration(12.0f);
        row->setFile(QStringLiteral("Tram at Dusk-1.m4r"));
        row->setDate(QDateTime::currentDateTime());
        ASSERT_TRUE(context->save(nullptr));
        QFile f(Paths::documentPath(row->file()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ringtone bytes");
    }
    void TearDown() override { DBHelper::dbHelper().setManagedObjectContext(nullptr); }
    static RingtoneFilePlayerFactory silent() {
        return [](const QUrl&, NSError*) -> std::unique_ptr<RingtoneFilePlayer> { return std::make_unique<Silent>(); };
    }
    std::unique_ptr<PlayViewWidget> player() {
        auto controller = std::make_unique<PlayViewController>(silent());
        controller->setRingtone(row);
        auto widget = std::make_unique<PlayViewWidget>(std::move(controller));
        widget->resize(320, 480);
        widget->show();
        return widget;
    }

    test::TempHome home;
    std::unique_ptr<PersistentStack> store;
    std::shared_ptr<Ringtone> row;
};

int top(QWidget* w, QWidget* screen) { return w->mapTo(screen, QPoint()).y(); }

} // namespace

TEST_F(WaysOut, ThePlayersButtonsSitBetweenPlayAndMail) {
    test::FakeKdeConnect phone({QStringLiteral("a1 Pixel 7"), QStringLiteral("b2 Moto G")});
    auto w = player();
    QWidget* s = w.get();
    auto button = [&](const char* name) { return w->findChild<QPushButton*>(QString::fromLatin1(name)); };
    ASSERT_TRUE(test::waitUntil([&] { return button("sendToPhoneButton")->isVisible(); }, 10000));
    EXPECT_TRUE(button("saveCopyButton")->isVisible());
    EXPECT_TRUE(button("showInFolderButton")->isVisible());
    EXPECT_EQ(button("saveCopyButton")->text(), QStringLiteral("Save a Copy…"));
    EXPECT_GT(top(button("saveCopyButton"), s), top(button("playStopButton"), s) + button("playStopButton")->height() - 1);
    EXPECT_LT(top(button("saveCopyButton"), s) + button("saveCopyButton")->height(), top(button("mailButton"), s));
    EXPECT_EQ(top(button("mailButton"), s), top(button("deleteButton"), s));
    EXPECT_LE(s->minimumSizeHint().width(), 320);
    EXPECT_LE(s->minimumSizeHint().height(), 480);
    QList<QWidget*> shown;
    for (QWidget* c : s->findChildren<QWidget*>())
        if (c->isVisible() && (qobject_cast<QPushButton*>(c) || qobject_cast<QLabel*>(c)) && !c->objectName().isEmpty())
            shown << c;
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(QRect(shown[i]->mapTo(s, QPoint()), shown[i]->size())
                             .intersects(QRect(shown[j]->mapTo(s, QPoint()), shown[j]->size())))
                << shown[i]->objectName().toStdString() << " overlaps " << shown[j]->objectName().toStdString();
    if (const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR"); !dir.isEmpty())
        s->grab().save(dir + QStringLiteral("/player-ways-out.png"));

    // Two phones: the button offers them; the presenter sends to the one chosen.
    w->controller().waysOut().sendToPhone(QStringLiteral("b2"));
    ASSERT_TRUE(test::waitUntil([&] {
        return w->findChild<QLabel*>(QStringLiteral("label"))->text() == QStringLiteral("Sent to Moto G");
    }));
    EXPECT_TRUE(phone.calls().last().endsWith(QStringLiteral("--device b2")));
    // Said in words, and it still fits.
    EXPECT_LE(s->minimumSizeHint().height(), 480);
    if (const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR"); !dir.isEmpty())
        s->grab().save(dir + QStringLiteral("/player-ways-out-sent.png"));
}

TEST_F(WaysOut, TheArtworkAndTheListRowDragOutAsTheFile) {
    const QUrl file = QUrl::fromLocalFile(Paths::documentPath(row->file()));
    auto w = player();
    std::unique_ptr<QMimeData> fromPlayer(w->artworkDrag()->mimeData(QPoint(2, 2)));
    ASSERT_TRUE(fromPlayer);
    EXPECT_EQ(fromPlayer->urls(), QList<QUrl>{file});
    EXPECT_EQ(fromPlayer->data(QStringLiteral("audio/mp4")), QByteArray("ringtone bytes"));

    FileManagerViewWidget list(silent());
    list.resize(320, 480);
    list.show();
    ASSERT_TRUE(test::waitUntil([&] { return list.model().rowCount() == 1; }, 5000));
    std::unique_ptr<QMimeData> fromRow(list.rowDragData(0));
    ASSERT_TRUE(fromRow);
    EXPECT_EQ(fromRow->urls(), QList<QUrl>{file});
    EXPECT_TRUE(fromRow->hasFormat(QStringLiteral("audio/mp4")));
    EXPECT_EQ(list.rowDragData(5), nullptr);
}
