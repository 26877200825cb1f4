#include "TestSupport.h"
#include "platform/core/MainThread.h"
#include "platform/media/AVURLAsset.h"
#include "platform/musiclibrary/MPMediaLibrary.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <atomic>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Sets an environment variable for the scope of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value) : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value.toUtf8());
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

// A one-second tone written by ffmpeg, tagged as asked; `cover` embeds a picture.
void makeSong(const QString& path, const QString& title, const QString& artist, const QString& cover = {}) {
    QStringList args = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                        QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=f=440:d=1")};
    if (!cover.isEmpty()) args << QStringLiteral("-i") << cover << QStringLiteral("-map") << QStringLiteral("0")
                               << QStringLiteral("-map") << QStringLiteral("1") << QStringLiteral("-c:v")
                               << QStringLiteral("copy") << QStringLiteral("-disposition:v")
                               << QStringLiteral("attached_pic");
    if (!title.isEmpty()) args << QStringLiteral("-metadata") << QStringLiteral("title=") + title;
    if (!artist.isEmpty()) args << QStringLiteral("-metadata") << QStringLiteral("artist=") + artist;
    if (path.endsWith(QLatin1String(".m4p"))) args << QStringLiteral("-f") << QStringLiteral("ipod");
    if (path.endsWith(QLatin1String(".aiff"))) args << QStringLiteral("-write_id3v2") << QStringLiteral("1");
    args << path;
    ASSERT_EQ(runTool(QStringLiteral("ffmpeg"), args).exitCode, 0) << path.toStdString();
}

class MusicLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        music = new QTemporaryDir;
        demo = new QTemporaryDir;
        const QString m = music->path();
        QDir().mkpath(m + QStringLiteral("/Albums/Deep"));
        QImage cover(120, 120, QImage::Format_RGB32);
        cover.fill(Qt::red);
        cover.save(m + QStringLiteral("/cover.png"));
        makeSong(m + QStringLiteral("/b.mp3"), QStringLiteral("beta"), QStringLiteral("Zed"), m + QStringLiteral("/cover.png"));
        makeSong(m + QStringLiteral("/Albums/a.m4a"), QStringLiteral("Alpha"), QStringLiteral("Mona"),
                 m + QStringLiteral("/cover.png"));
        makeSong(m + QStringLiteral("/Albums/Deep/Untitled Take.wav"), {}, {});
        makeSong(m + QStringLiteral("/Albums/Deep/c.aiff"), QStringLiteral("Gamma"), QStringLiteral("Mona Lisa"));
        makeSong(m + QStringLiteral("/locked.m4p"), QStringLiteral("Delta"), QStringLiteral("Shop"));
        QFile notes(m + QStringLiteral("/notes.txt"));
        notes.open(QIODevice::WriteOnly);
        notes.write("not a song");
        makeSong(demo->path() + QStringLiteral("/Demo.m4a"), QStringLiteral("Epsilon Demo"), QStringLiteral("Quorvel"));
    }
    static void TearDownTestSuite() {
        delete music;
        delete demo;
    }
    void SetUp() override {
        env1 = std::make_unique<ScopedEnv>("QUORVEL_MUSIC", music->path() + QStringLiteral(":/nonexistent"));
        env2 = std::make_unique<ScopedEnv>("QUORVEL_DEMO_DIR", demo->path());
        MPMediaLibrary::defaultMediaLibrary().scanNow();
    }
    static QStringList titles(const std::vector<MPMediaItem>& items) {
        QStringList t;
        for (const auto& i : items) t << i.title();
        return t;
    }
    static inline QTemporaryDir* music = nullptr;
    static inline QTemporaryDir* demo = nullptr;
    TempHome home;
    std::unique_ptr<ScopedEnv> env1, env2;
};

} // namespace

TEST_F(MusicLibrary, ListsSongsByTitleWithTheirTagsAndURLs) {
    const auto items = MPMediaLibrary::defaultMediaLibrary().items();
    EXPECT_EQ(titles(items), (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("Delta"),
                                          QStringLiteral("Epsilon Demo"), QStringLiteral("Gamma"),
                                          QStringLiteral("Untitled Take")}));
    QStringList extensions;
    for (const auto& item : items) {
        extensions << item.libraryExtension();
        const QUrl& url = item.assetURL();
        EXPECT_EQ(url.scheme(), QStringLiteral("ipod-library"));
        EXPECT_EQ(url.host(), QStringLiteral("item"));
        EXPECT_EQ(url.path(), QStringLiteral("/item.") + item.libraryExtension());
        EXPECT_EQ(QUrlQuery(url).queryItemValue(QStringLiteral("id")), QString::number(item.persistentID()));
    }
    EXPECT_EQ(extensions, (QStringList{QStringLiteral("m4a"), QStringLiteral("mp3"), QStringLiteral("m4p"),
                                       QStringLiteral("m4a"), QStringLiteral("aiff"), QStringLiteral("wav")}));
    EXPECT_EQ(items[1].artist(), QStringLiteral("Zed"));
    EXPECT_TRUE(items[2].isProtected());
    EXPECT_FALSE(items[0].isProtected());
}

TEST_F(MusicLibrary, IdsSurviveRescansAndNewFiles) {
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    QStringList before;
    for (const auto& i : library.items()) before << i.assetURL().toString();
    makeSong(music->path() + QStringLiteral("/Albums/new.mp3"), QStringLiteral("Aardvark"), {});
    std::atomic<bool> done{false};
    std::atomic<bool> onMain{false};
    library.beginScan([&] {
        onMain = isMainThread();
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return done.load(); }));
    EXPECT_TRUE(onMain.load());
    QStringList after;
    for (const auto& i : library.items())
        if (i.title() != QLatin1String("Aardvark")) after << i.assetURL().toString();
    EXPECT_EQ(after, before);
    EXPECT_EQ(library.items().front().title(), QStringLiteral("Aardvark"));
    QFile::remove(music->path() + QStringLiteral("/Albums/new.mp3"));
    library.scanNow();
    EXPECT_EQ(library.items().size(), size_t(before.size()));
}

TEST_F(MusicLibrary, SearchesTitleAndArtist) {
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    EXPECT_EQ(titles(library.itemsMatching(QStringLiteral("mona"))),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("Gamma")}));
    EXPECT_EQ(titles(library.itemsMatching(QStringLiteral("LTA"))), (QStringList{QStringLiteral("Delta")}));
    EXPECT_TRUE(library.itemsMatching(QStringLiteral("nothing like it")).empty());
    EXPECT_EQ(library.itemsMatching(QString()).size(), library.items().size());
}

TEST_F(MusicLibrary, ResolvesURLsToFilesForAssets) {
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    const MPMediaItem beta = library.itemsMatching(QStringLiteral("beta")).front();
    auto found = library.itemForURL(beta.assetURL());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->filePath(), QFileInfo(music->path() + QStringLiteral("/b.mp3")).canonicalFilePath());
    EXPECT_EQ(AVURLAsset::URLAssetWithURL(beta.assetURL())->filePath(), found->filePath());
    // Same id, another extension: not this song.
    QUrl wrong = beta.assetURL();
    wrong.setPath(QStringLiteral("/item.m4a"));
    EXPECT_FALSE(library.itemForURL(wrong).has_value());
    EXPECT_FALSE(library.itemForURL(QUrl(QStringLiteral("ipod-library://item/item.mp3?id=7"))).has_value());
    EXPECT_TRUE(AVURLAsset::URLAssetWithURL(QUrl(QStringLiteral("ipod-library://item/item.mp3?id=7")))->filePath().isEmpty());
}

TEST_F(MusicLibrary, AddsAFileForTheRun) {
    QTemporaryDir elsewhere;
    const QString path = elsewhere.path() + QStringLiteral("/Given.MP3");
    makeSong(path, {}, QStringLiteral("Someone"));
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    auto added = library.addFile(path);
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(added->title(), QStringLiteral("Given"));
    EXPECT_EQ(added->libraryExtension(), QStringLiteral("mp3"));
    library.scanNow();
    EXPECT_TRUE(library.itemForURL(added->assetURL()).has_value());
    EXPECT_FALSE(library.addFile(music->path() + QStringLiteral("/notes.txt")).has_value());
    EXPECT_FALSE(library.addFile(elsewhere.path() + QStringLiteral("/none.mp3")).has_value());
    // Gone from the disk, gone from the library at the next scan.
    QFile::remove(path);
    library.scanNow();
    EXPECT_FALSE(library.itemForURL(added->assetURL()).has_value());
}

TEST_F(MusicLibrary, ReadsEmbeddedArtworkScaledOnRequest) {
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    for (const char* title : {"beta", "Alpha"}) {
        SCOPED_TRACE(title);
        const MPMediaItem item = library.itemsMatching(QLatin1String(title)).front();
        const QImage full = item.artworkImageWithSize();
        ASSERT_FALSE(full.isNull());
        EXPECT_EQ(full.size(), QSize(120, 120));
        const QImage small = item.artworkImageWithSize(QSize(60, 60));
        EXPECT_EQ(small.size(), QSize(60, 60));
        EXPECT_GT(qRed(small.pixel(30, 30)), 200);
    }
    const auto gamma = library.itemsMatching(QStringLiteral("Gamma"));
    ASSERT_EQ(gamma.size(), 1u);
    EXPECT_TRUE(gamma.front().artworkImageWithSize(QSize(60, 60)).isNull());
}

TEST(MusicLibraryFolders, ComeFromTheEnvironmentOrTheUserDirs) {
    {
        ScopedEnv music("QUORVEL_MUSIC", QStringLiteral("/a/b:/c"));
        EXPECT_EQ(MPMediaLibrary::libraryFolders(), (QStringList{QStringLiteral("/a/b"), QStringLiteral("/c")}));
    }
    QTemporaryDir config;
    ScopedEnv music("QUORVEL_MUSIC", QString());
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path());
    EXPECT_EQ(MPMediaLibrary::libraryFolders(), QStringList{QDir::homePath() + QStringLiteral("/Music")});
    QFile dirs(config.path() + QStringLiteral("/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_MUSIC_DIR=\"$HOME/Songs\"\n");
    dirs.close();
    EXPECT_EQ(MPMediaLibrary::libraryFolders(), QStringList{QDir::homePath() + QStringLiteral("/Songs")});
}

TEST(DemoSongs, ShipWithTheProgram) {
    TempHome home;
    QTemporaryDir emptyMusic;
    ScopedEnv music("QUORVEL_MUSIC", emptyMusic.path());
    ScopedEnv demo("QUORVEL_DEMO_DIR", QString());
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    library.scanNow();
    const auto items = library.items();
    ASSERT_GE(items.size(), 2u) << MPMediaLibrary::demoFolder().toStdString();
    ASSERT_LE(items.size(), 3u);
    QStringList kinds;
    for (const auto& item : items) {
        SCOPED_TRACE(item.filePath().toStdString());
        kinds << item.libraryExtension();
        // Tagged, as ffprobe reads them.
        const ToolResult tags = runTool(QStringLiteral("ffprobe"),
                                        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                         QStringLiteral("format_tags=title,artist"), QStringLiteral("-of"),
                                         QStringLiteral("default=nw=1:nk=1"), item.filePath()});
        EXPECT_TRUE(tags.out.contains(item.title()));
        EXPECT_TRUE(tags.out.contains(item.artist()));
        EXPECT_FALSE(item.artist().isEmpty());
        EXPECT_FALSE(item.artworkImageWithSize(QSize(60, 60)).isNull());
        const double seconds = probeDuration(item.filePath());
        EXPECT_GE(seconds, 30.0);
        EXPECT_LE(seconds, 90.0);
        EXPECT_EQ(runTool(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                                    item.filePath(), QStringLiteral("-f"), QStringLiteral("null"),
                                                    QStringLiteral("-")})
                      .err.trimmed(),
                  QString());
    }
    EXPECT_TRUE(kinds.contains(QStringLiteral("mp3")));
    EXPECT_TRUE(kinds.contains(QStringLiteral("m4a")));
}
