// Every file of tests/data/hostile through the readers (the WAV reader,
// EAFRead, the "mdat" walk), the import of a library song (TSLibraryImport
// and the effects input of AudioExportHelper) and the command line's "make".
// Each must end in a clear error or a clean, bounded read; nothing may be
// left in the documents directory and the store must stay as it was. A file
// that ffmpeg decodes to audio makes a ringtone; one that every player plays
// makes one as long as it is (up to the 3 s asked for).
#include "HostileCorpus.h"
#include "HostileTestSupport.h"
#include "SampleFiles.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "pipeline/AudioExportHelper.h"
#include "pipeline/EAFRead.h"
#include "pipeline/TSLibraryImport.h"
#include "pipeline/WavReader.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/Paths.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace quorvel::samples {
// Test names and failures show the corpus file, not the bytes of the parameter.
static void PrintTo(const HostileFile& f, std::ostream* os) { *os << f.name.toStdString(); }
} // namespace quorvel::samples

using namespace quorvel;
using namespace quorvel::test;
using samples::Expect;
using samples::HostileFile;

namespace {

// The store, the library and the documents directory shared by the corpus
// tests of one process.
struct Environment {
    TempHome home;
    QTemporaryDir music;
    QTemporaryDir scratch;
    std::unique_ptr<PersistentStack> stack;
    QString storeDump;
    DocumentsListing documents;
};
Environment* env = nullptr;

class HostileCorpus : public ::testing::TestWithParam<HostileFile> {
public:
    static void SetUpTestSuite() {
        env = new Environment;
        // An empty library: only the files each test adds.
        qputenv("QUORVEL_MUSIC", env->music.path().toUtf8());
        qputenv("QUORVEL_DEMO_DIR", env->music.path().toUtf8());
        MPMediaLibrary::defaultMediaLibrary().scanNow();

        // A store with the flags row and one ringtone, as a user has it.
        env->stack = std::make_unique<PersistentStack>(Paths::documentPath(kStoreFileName));
        NSError error;
        auto context = env->stack->managedObjectContext(&error);
        ASSERT_TRUE(context) << error.description().toStdString();
        DBHelper::dbHelper().setManagedObjectContext(context);
        // The migration of found files has run, as for anyone who used the program before.
        DBHelper::dbHelper().getAppFlags();
        const auto flags = DBHelper::dbHelper().getAppFlags();
        ASSERT_TRUE(flags);
        flags->setOldRingtoneLoaded(1);
        ASSERT_TRUE(DBHelper::dbHelper().saveContext());
        const QString kept = Paths::documentPath(QStringLiteral("Kept-1.m4r"));
        ASSERT_TRUE(samples::writeBytes(kept, QByteArray("not played here")));
        ASSERT_TRUE(DBHelper::dbHelper().storeRingtone(QUrl::fromLocalFile(kept)));
        env->storeDump = storeDump(Paths::documentPath(kStoreFileName));
        ASSERT_TRUE(env->storeDump.contains(QStringLiteral("Kept-1.m4r")));
        env->documents = documentsListing();
    }
    static void TearDownTestSuite() {
        DBHelper::dbHelper().setManagedObjectContext(nullptr);
        delete env;
        env = nullptr;
    }

protected:
    void SetUp() override {
        ASSERT_TRUE(env && env->stack);
        file = GetParam();
        path = hostileCorpusDir() + QLatin1Char('/') + file.name;
        ASSERT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
        size = QFileInfo(path).size();
    }

    // The store and the documents directory are as they were before the file came in.
    void expectNothingChanged() {
        EXPECT_EQ(documentsListing(), env->documents);
        EXPECT_EQ(storeDump(Paths::documentPath(kStoreFileName)), env->storeDump);
    }

    // The import as the segment export starts it; the cut file (when the
    // import succeeds) is read as the effects run would, then removed.
    void importThroughTheLibrary() {
        const auto item = MPMediaLibrary::defaultMediaLibrary().addFile(path);
        ASSERT_TRUE(item) << "a file with a song extension is a library song";
        auto ringtune = std::make_shared<Ringtune>(item->assetURL(), QStringLiteral("Hostile"),
                                                   QStringLiteral("Corpus"), QImage());
        const QString dest = Paths::documentPath(QStringLiteral(".tmpExport.") + item->libraryExtension());
        auto importer = TSLibraryImport::create();
        std::atomic<bool> done{false};
        AVAssetExportSessionStatus status = AVAssetExportSessionStatusUnknown;
        NSError error;
        try {
            importer->importRingtune(ringtune, QUrl::fromLocalFile(dest), [&](TSLibraryImport* finished) {
                status = finished->status();
                error = finished->error();
                done = true;
            });
        } catch (const NSException& e) {
            // Refused before anything started: a named exception with a reason is a clear error.
            EXPECT_FALSE(e.reason().isEmpty());
            return;
        }
        ASSERT_TRUE(waitUntil([&] { return done.load(); }, 60000)) << "the import never finished";
        if (file.expect == Expect::Plays) {
            EXPECT_EQ(status, AVAssetExportSessionStatusCompleted) << error.localizedDescription.toStdString();
        }
        if (status == AVAssetExportSessionStatusCompleted) {
            EXPECT_NE(file.expect, Expect::Refused) << "a file every reader must refuse was imported";
            EXPECT_TRUE(QFileInfo(dest).isFile());
            readToTheEnd(dest);
            QFile::remove(dest);
        } else {
            EXPECT_EQ(status, AVAssetExportSessionStatusFailed);
            EXPECT_FALSE(error.localizedDescription.isEmpty()) << "a failed import says why";
        }

        // The same song as the editor's effects input: the first 3 seconds.
        ringtune->setTimeRange(CMTimeRangeMake(CMTimeMakeWithSeconds(0, 1000), CMTimeMakeWithSeconds(3, 1000)));
        std::atomic<int> announced{0};
        auto token = NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("assetURLExported"), &AudioExportHelper::sharedInstance(),
            [&](const QString&, const void*) { ++announced; });
        try {
            AudioExportHelper::sharedInstance().exportRingtuneForEffects(ringtune, QStringLiteral(".tmpExport"));
        } catch (const NSException& e) {
            EXPECT_FALSE(e.reason().isEmpty());
        }
        EXPECT_TRUE(waitUntil([&] { return announced.load() > 0; }, 60000)) << "the effects input was never announced";
        NotificationCenter::defaultCenter().removeObserver(token);
        const QString effect = ringtune->effectURL().toLocalFile();
        if (file.expect == Expect::Refused) {
            EXPECT_FALSE(QFileInfo::exists(effect)) << "a refused song left its cut";
        }
        if (!effect.isEmpty()) QFile::remove(effect);
    }

    // quorvel-cli make PATH: exit 1 with a message, or a ringtone made (which
    // then becomes part of what must not change).
    void makeWithTheCommandLine() {
        const QString cli = QStringLiteral(QUORVEL_CLI);
        ASSERT_TRUE(QFileInfo(cli).isExecutable()) << "quorvel-cli is missing: " << cli.toStdString();
        const ToolResult r = runTool(cli, {QStringLiteral("make"), path});
        // What ffmpeg decodes to audio, the program makes a ringtone of.
        const double decoded = decodedSeconds(path);
        if (std::isfinite(decoded) && decoded > 0) {
            EXPECT_EQ(r.exitCode, 0) << "ffmpeg decodes " << decoded << " s of it: " << r.err.toStdString();
        }
        if (r.exitCode == 0) {
            EXPECT_NE(file.expect, Expect::Refused) << "quorvel-cli made a ringtone from a file it must refuse";
            if (file.expect == Expect::Plays) {
                // An MP3's cut is a raw stream: it keeps the encoder's delay and padding.
                const double tolerance = path.endsWith(QLatin1String(".mp3")) ? 0.1 : 0.05;
                EXPECT_NEAR(probeDuration(r.lastLine()), std::min(3.0, decoded), tolerance) << r.lastLine().toStdString();
            }
            env->documents = documentsListing();
            env->storeDump = storeDump(Paths::documentPath(kStoreFileName));
            return;
        }
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_FALSE(r.err.trimmed().isEmpty()) << "quorvel-cli failed without a message";
    }

    HostileFile file;
    QString path;
    qint64 size = 0;
};

// One test per file (each test is a process of its own under CTest), every
// reader in turn, with the documents directory and the store checked after each.
TEST_P(HostileCorpus, EveryReaderRefusesItOrEndsCleanly) {
    {
        SCOPED_TRACE("WAV reader");
        for (const bool mapped : {false, true}) {
            const ReadResult r = readWithWavReader(path, mapped);
            if (file.expect == Expect::Refused) {
                EXPECT_FALSE(r.opened);
            }
            if (r.opened) {
                EXPECT_LE(r.bytesRead, size);
            }
            EXPECT_TRUE(r.ended) << "reading never ended";
        }
        expectNothingChanged();
    }
    {
        SCOPED_TRACE("EAFRead");
        const ReadResult r = readToTheEnd(path);
        if (file.expect == Expect::Refused) {
            EXPECT_FALSE(r.opened) << "status " << r.status;
        } else if (file.expect == Expect::Plays) {
            EXPECT_TRUE(r.opened && r.frames > 0) << "status " << r.status;
        } else if (!r.opened) {
            EXPECT_NE(r.status, 0);
        }
        expectNothingChanged();
    }
    {
        SCOPED_TRACE("mdat walk");
        const QString dest = env->scratch.path() + QStringLiteral("/extracted.mp3");
        QFile::remove(dest);
        auto importer = TSLibraryImport::create();
        try {
            importer->extractQuicktimeMovie(QUrl::fromLocalFile(path), QUrl::fromLocalFile(dest));
            EXPECT_TRUE(QFileInfo(dest).isFile());
            EXPECT_LE(QFileInfo(dest).size(), size - 8);
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), TSUnknownError);
            EXPECT_FALSE(e.reason().isEmpty());
        }
        expectNothingChanged();
    }
    {
        SCOPED_TRACE("import");
        importThroughTheLibrary();
        expectNothingChanged();
    }
    {
        SCOPED_TRACE("quorvel-cli make");
        makeWithTheCommandLine();
        expectNothingChanged();
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileCorpus, ::testing::ValuesIn(samples::readHostileManifest(hostileCorpusDir())),
                         [](const ::testing::TestParamInfo<HostileFile>& file) { return testName(file.param.name); });

TEST(HostileCorpusFiles, TheManifestListsEveryFileAndTheKindsAsked) {
    const auto files = samples::readHostileManifest(hostileCorpusDir());
    ASSERT_GE(files.size(), 40u);
    QStringList names;
    for (const auto& f : files) names << f.name;
    QStringList onDisk = QDir(hostileCorpusDir()).entryList(QDir::Files | QDir::Hidden);
    onDisk.removeAll(QStringLiteral("MANIFEST"));
    names.sort();
    onDisk.sort();
    EXPECT_EQ(names, onDisk);
    for (const char* ext : {"mp3", "m4a", "m4v", "wav", "aif", "aiff"}) {
        EXPECT_TRUE(names.contains(QStringLiteral("empty.%1").arg(QLatin1String(ext))));
        EXPECT_TRUE(names.contains(QStringLiteral("random.%1").arg(QLatin1String(ext))));
    }
    for (const char* name : {"text.mp3", "no-moov.m4a", "wav-data-beyond-end.wav", "aac-composition-offsets.m4a",
                             "aac-leading-empty-edit.m4a", "eac3-in.m4a", "flac-in.m4a", "opus-in.m4a", "alac-in.m4a",
                             "wav-8-bit.wav", "wav-24-bit.wav", "wav-float.wav", "rate-8000.mp3", "rate-96000.wav",
                             "six-channels.m4a"})
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
    for (const char* ext : {".wav", ".mp3", ".m4a", ".aiff"})
        EXPECT_GE(names.filter(QRegularExpression(QStringLiteral("^truncated-.*\\") + QLatin1String(ext) + '$')).size(), 3) << ext;
}

// A store file that is not this store is refused and left exactly as it was.
TEST(HostileStore, ABrokenStoreFileIsRefusedAndKept) {
    int tried = 0;
    for (const HostileFile& f : samples::readHostileManifest(hostileCorpusDir())) {
        // An empty file is where a new store is made, not a broken one.
        if (f.expect != Expect::Refused && f.name != QLatin1String("wav-data-beyond-end.wav")) continue;
        const QByteArray bytes = samples::readBytes(hostileCorpusDir() + QLatin1Char('/') + f.name);
        if (bytes.isEmpty()) continue;
        SCOPED_TRACE(f.name.toStdString());
        ++tried;
        TempHome home;
        const QString store = Paths::documentPath(kStoreFileName);
        ASSERT_TRUE(samples::writeBytes(store, bytes));
        PersistentStack stack(store);
        NSError error;
        EXPECT_FALSE(stack.managedObjectContext(&error));
        EXPECT_NE(error.code, 0);
        EXPECT_FALSE(error.localizedDescription.isEmpty());
        EXPECT_EQ(samples::readBytes(store), bytes);
        EXPECT_EQ(QDir(home.documents()).entryList(QDir::Files | QDir::Hidden), QStringList{kStoreFileName});
    }
    EXPECT_GE(tried, 10);
}

} // namespace
