// The editor's road and the export lock: it waits while another program's
// export holds the work files (telling the view once), gives up after its
// timeout without touching them, and lets them go when its ringtone is
// stored or when it stops.
#include "TestSupport.h"
#include "editor/EditorControls.h"
#include "editor/Ringtune.h"
#include "platform/core/DocumentsLock.h"
#include "platform/core/Paths.h"
#include "platform/store/PersistentStack.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"
#include "screens/EditorFlows.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace std::chrono_literals;

namespace {

class RecordingView : public EditorFlowsView {
public:
    void showProcessingNotice() override { noticeShown = true; }
    void dismissProcessingNotice() override { noticeShown = false; }
    void presentExportScreen(const std::shared_ptr<ExportViewController>& s) override {
        s->setCanPromptForRating(false);
        screen = s;
    }
    void processedSegmentLoaded(const SegmentPlayback&, bool) override {}
    void flowStopped(const QString& reason) override { stopped = reason; }
    void waitingForAnotherExport() override { ++waiting; }

    bool noticeShown = false;
    std::shared_ptr<ExportViewController> screen;
    QString stopped;
    int waiting = 0;
};

class RoadAndWorkFiles : public ::testing::Test {
protected:
    void SetUp() override {
        stack = std::make_unique<PersistentStack>(Paths::documentPath(kStoreFileName));
        DBHelper::dbHelper().setManagedObjectContext(stack->managedObjectContext());
        recording = home.path() + QStringLiteral("/recording.wav");
        ASSERT_TRUE(test::writeWav16(recording, test::sine(660, 4.0), 44100, 1));
    }
    void TearDown() override {
        Appirater::waitForPendingCounts(); // the stored ringtone's count, written into this home
        DBHelper::dbHelper().setManagedObjectContext(nullptr);
    }

    // A recording at unchanged speed and pitch: the quickest whole road.
    std::shared_ptr<Ringtune> ringtuneFor(const QString& path) {
        auto r = std::make_shared<Ringtune>(QUrl::fromLocalFile(path), QStringLiteral("Rec"),
                                            QStringLiteral("2012-05-01 10:20:30 +0000"), QImage());
        r->setRecorded(true);
        r->setMp4(false);
        flows.setRingtune(r);
        controls.loadReset(4.0f);
        return r;
    }
    QStringList workFiles() const {
        return QDir(Paths::documentsDirectory())
            .entryList({QStringLiteral(".tmpExport*"), QStringLiteral(".processedEffect.wav"), QStringLiteral("*.m4r")},
                       QDir::Files | QDir::Hidden);
    }
    static void pump(int ms) { test::waitUntil([] { return false; }, ms); }

    test::TempHome home;
    std::unique_ptr<PersistentStack> stack;
    QString recording;
    RecordingView view;
    EditorControls controls;
    EditorFlows flows{view, controls, nullptr, true};
};

} // namespace

TEST_F(RoadAndWorkFiles, AnExportWaitsForAnotherThenRunsAndLetsTheFilesGo) {
    auto ringtune = ringtuneFor(recording);
    DocumentsLock other(DocumentsLock::kExportLockName);
    ASSERT_EQ(other.tryLock(), DocumentsLock::Result::Locked);

    flows.preProcessRingtoneForExport();
    pump(600);
    EXPECT_EQ(view.waiting, 1);
    EXPECT_TRUE(view.noticeShown);
    EXPECT_FALSE(flows.holdsWorkFiles());
    EXPECT_FALSE(view.screen);
    EXPECT_TRUE(workFiles().isEmpty());

    other.unlock();
    ASSERT_TRUE(test::waitUntil([&] {
        return view.screen && view.screen->outcome() != ExportViewController::Outcome::Running;
    }, 120000));
    EXPECT_EQ(view.screen->outcome(), ExportViewController::Outcome::Done);
    EXPECT_TRUE(QFileInfo(ringtune->storedFilePath().toLocalFile()).isFile());
    EXPECT_EQ(view.waiting, 1);
    // Once the ringtone is stored, another export may take the files.
    ASSERT_TRUE(test::waitUntil([&] { return !flows.holdsWorkFiles(); }, 5000));
    EXPECT_EQ(other.tryLock(), DocumentsLock::Result::Locked);
}

TEST_F(RoadAndWorkFiles, AWaitPastTheTimeoutStopsTheRoadAndTouchesNothing) {
    ringtuneFor(recording);
    DocumentsLock other(DocumentsLock::kExportLockName);
    ASSERT_EQ(other.tryLock(), DocumentsLock::Result::Locked);
    EXPECT_EQ(flows.workFilesTimeout(), std::chrono::minutes(10));
    flows.setWorkFilesTimeout(400ms);

    flows.preProcessRingtoneForExport();
    ASSERT_TRUE(test::waitUntil([&] { return !view.stopped.isEmpty(); }, 10000));
    EXPECT_TRUE(view.stopped.startsWith(QStringLiteral("Another export is still running"))) << view.stopped.toStdString();
    EXPECT_EQ(view.waiting, 1);
    EXPECT_FALSE(view.noticeShown);
    EXPECT_FALSE(view.screen);
    EXPECT_FALSE(flows.holdsWorkFiles());
    EXPECT_TRUE(workFiles().isEmpty());
    EXPECT_TRUE(other.isLocked());
}

TEST_F(RoadAndWorkFiles, ARoadThatStopsLetsTheFilesGo) {
    ringtuneFor(home.path() + QStringLiteral("/missing.wav"));
    flows.preProcessRingtoneForExport();
    ASSERT_TRUE(test::waitUntil([&] { return !view.stopped.isEmpty(); }, 10000));
    EXPECT_EQ(view.waiting, 0);
    EXPECT_FALSE(flows.holdsWorkFiles());
    DocumentsLock next(DocumentsLock::kExportLockName);
    EXPECT_EQ(next.tryLock(), DocumentsLock::Result::Locked);
}
