#include "screens/PlayViewController.h"
#include "TestSupport.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/store/NSEntityDescription.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"
#include "ringtones/Ringtone.h"
#include "screens/AVAudioFilePlayer.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class Finished : public PlayViewControllerFinishDelegate {
public:
    void playViewControllerDidFinish(PlayViewController*) override { ++calls; }
    int calls = 0;
};

class PlayOnDevice : public ::testing::Test {
protected:
    void SetUp() override {
        Ringtone::registerClass();
        store = std::make_unique<PersistentStack>(Paths::documentPath(kStoreFileName));
        DBHelper::dbHelper().setManagedObjectContext(store->managedObjectContext());
        auto context = store->managedObjectContext();
        row = std::dynamic_pointer_cast<Ringtone>(
            NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context.get()));
        row->setTitle(QStringLiteral("Tone"));
        row->setCounter(1);
        row->setFile(QStringLiteral("Tone-1.wav"));
        row->setDate(QDateTime::currentDateTime());
        row->setDuration(0.3f);
        ASSERT_TRUE(context->save(nullptr));
        ASSERT_TRUE(test::writeWav16(Paths::documentPath(QStringLiteral("Tone-1.wav")), test::sine(440, 0.3), 44100, 1));
    }
    void TearDown() override { DBHelper::dbHelper().setManagedObjectContext(nullptr); }

    test::TempHome home;
    std::unique_ptr<PersistentStack> store;
    std::shared_ptr<Ringtone> row;
};

} // namespace

// SDL's dummy driver plays in real time without a sound card.
TEST_F(PlayOnDevice, PlaybackToTheEndResetsTheButtonAndDropsThePlayer) {
    PlayViewController screen(AVAudioFilePlayer::factory());
    screen.setRingtone(row);
    screen.viewDidLoad();
    EXPECT_TRUE(screen.isSecHidden()); // 0.3 s
    screen.playOrPauseMusic();
    ASSERT_TRUE(screen.holdsPlayer());
    EXPECT_EQ(screen.playStopButtonImage(), "stop.png");
    ASSERT_TRUE(test::waitUntil([&] { return screen.playStopButtonImage() == "BigPlay.png"; }, 10000));
    ASSERT_TRUE(test::waitUntil([&] { return !screen.holdsPlayer(); }, 2000));
    // Played again from the start.
    screen.playOrPauseMusic();
    EXPECT_TRUE(screen.holdsPlayer());
    screen.playOrPauseMusic();
    EXPECT_FALSE(screen.holdsPlayer());
    EXPECT_EQ(screen.playStopButtonImage(), "BigPlay.png");
}

TEST_F(PlayOnDevice, YesDeletesFileAndRowNoKeepsThem) {
    PlayViewController screen(AVAudioFilePlayer::factory());
    Finished finished;
    screen.setRingtone(row);
    screen.setFinishDelegate(&finished);
    screen.viewDidLoad();
    screen.playOrPauseMusic();
    screen.actionSheetDidDismissWithButtonIndex(1);
    EXPECT_EQ(finished.calls, 0);
    EXPECT_TRUE(QFile::exists(Paths::documentPath("Tone-1.wav")));
    screen.actionSheetDidDismissWithButtonIndex(0);
    EXPECT_EQ(finished.calls, 1);
    EXPECT_FALSE(screen.holdsPlayer());
    EXPECT_FALSE(QFile::exists(Paths::documentPath("Tone-1.wav")));
    EXPECT_FALSE(DBHelper::dbHelper().loadRingtoneWithNameFromDB("Tone-1.wav"));
}
