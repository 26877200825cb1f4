// Songs outside the importer's formats: listed with their tags and covers,
// offered as WAV files decoded into the song cache, and the cache itself
// (reuse, changed and vanished songs, its bound, workers, damaged files).
#include "TestSupport.h"
#include "platform/core/MainThread.h"
#include "platform/media/AVURLAsset.h"
#include "platform/musiclibrary/MPMediaLibrary.h"
#include "platform/musiclibrary/SongWavCache.h"
#include "platform/musiclibrary/WavFileWriter.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtEndian>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
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

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A FLAC picture block, base64, as Ogg files carry a cover in their comments.
QString pictureBlock(const QByteArray& png) {
    QByteArray b;
    auto be32 = [&](uint32_t v) {
        char c[4];
        qToBigEndian(v, c);
        b.append(c, 4);
    };
    be32(3); // front cover
    be32(9);
    b.append("image/png");
    be32(0);
    for (uint32_t v : {120u, 120u, 24u, 0u}) be32(v);
    be32(uint32_t(png.size()));
    b.append(png);
    return QString::fromLatin1(b.toBase64());
}

// A tone of `seconds` made by ffmpeg in the format of the file name.
void makeSong(const QString& path, const QString& title, const QString& artist, double seconds, int rate, int channels,
              const QStringList& extra = {}) {
    QStringList args = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                        QStringLiteral("lavfi"), QStringLiteral("-i"),
                        QStringLiteral("aevalsrc=0.5*sin(2*PI*440*t)|0.3*sin(2*PI*660*t):s=%1:d=%2").arg(rate).arg(seconds)};
    args << extra;
    if (channels == 1) args << QStringLiteral("-ac") << QStringLiteral("1");
    if (!title.isEmpty()) args << QStringLiteral("-metadata") << QStringLiteral("title=") + title;
    if (!artist.isEmpty()) args << QStringLiteral("-metadata") << QStringLiteral("artist=") + artist;
    args << path;
    const ToolResult r = runTool(QStringLiteral("ffmpeg"), args);
    ASSERT_EQ(r.exitCode, 0) << path.toStdString() << r.err.toStdString();
}

QByteArray redPng() {
    QImage cover(120, 120, QImage::Format_RGB32);
    cover.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    cover.save(&buffer, "PNG");
    return png;
}

// ffmpeg's own decode of a song as 16-bit samples at its own rate and channels.
QByteArray referenceDecode(const QString& song, const QString& scratch) {
    const QString raw = scratch + QStringLiteral("/reference.raw");
    const ToolResult r = runTool(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                                           QStringLiteral("-i"), song, QStringLiteral("-f"),
                                                           QStringLiteral("s16le"), raw});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return readAll(raw);
}

class DecodedSongs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        music = new QTemporaryDir;
        const QString m = music->path();
        const QByteArray png = redPng();
        writeAll(m + QStringLiteral("/cover.png"), png);
        makeSong(m + QStringLiteral("/lossless.flac"), QStringLiteral("Flac Tune"), QStringLiteral("Ana"), 6, 48000, 2,
                 {QStringLiteral("-i"), m + QStringLiteral("/cover.png"), QStringLiteral("-map"), QStringLiteral("0"),
                  QStringLiteral("-map"), QStringLiteral("1"), QStringLiteral("-c:v"), QStringLiteral("copy"),
                  QStringLiteral("-disposition:v"), QStringLiteral("attached_pic")});
        makeSong(m + QStringLiteral("/vorbis.ogg"), QStringLiteral("Ogg Tune"), QStringLiteral("Bo"), 5, 44100, 1,
                 {QStringLiteral("-c:a"), QStringLiteral("libvorbis"), QStringLiteral("-metadata"),
                  QStringLiteral("METADATA_BLOCK_PICTURE=") + pictureBlock(png)});
        makeSong(m + QStringLiteral("/voice.opus"), QStringLiteral("Opus Tune"), QStringLiteral("Cy"), 5, 48000, 2,
                 {QStringLiteral("-c:a"), QStringLiteral("libopus")});
        makeSong(m + QStringLiteral("/packed.wv"), QStringLiteral("WavPack Tune"), QStringLiteral("Di"), 3, 44100, 2, {});
        makeSong(m + QStringLiteral("/Plain Stream.aac"), {}, {}, 3, 44100, 2, {QStringLiteral("-f"), QStringLiteral("adts")});
        // Not songs: damaged files in decoded formats, a video without sound, a cover.
        writeAll(m + QStringLiteral("/text.flac"), QByteArray("fLaC but only words after it\n").repeated(40));
        writeAll(m + QStringLiteral("/empty.opus"), QByteArray());
        const QByteArray flac = readAll(m + QStringLiteral("/lossless.flac"));
        writeAll(m + QStringLiteral("/cut.ogg"), readAll(m + QStringLiteral("/vorbis.ogg")).left(30));
        const ToolResult video = runTool(
            QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                                       QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc=d=1:s=64x64"),
                                       QStringLiteral("-c:v"), QStringLiteral("mpeg4"), m + QStringLiteral("/silent.mp4")});
        ASSERT_EQ(video.exitCode, 0) << video.err.toStdString();
        ASSERT_GT(flac.size(), 1000);
    }
    static void TearDownTestSuite() {
        delete music;
        music = nullptr;
    }
    void SetUp() override {
        musicEnv = std::make_unique<ScopedEnv>("QUORVEL_MUSIC", music->path());
        demoEnv = std::make_unique<ScopedEnv>("QUORVEL_DEMO_DIR", music->path() + QStringLiteral("/none"));
        MPMediaLibrary::defaultMediaLibrary().scanNow();
    }
    static MPMediaItem song(const char* title) {
        const auto found = MPMediaLibrary::defaultMediaLibrary().itemsMatching(QLatin1String(title));
        EXPECT_EQ(found.size(), 1u) << title;
        return found.empty() ? MPMediaItem() : found.front();
    }
    static QStringList cacheEntries() {
        return QDir(SongWavCache::cacheDirectory()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    static inline QTemporaryDir* music = nullptr;
    TempHome home;
    QTemporaryDir scratch;
    std::unique_ptr<ScopedEnv> musicEnv, demoEnv;
};

} // namespace

TEST_F(DecodedSongs, AreListedWithTheirTagsAsWavSongs) {
    const auto items = MPMediaLibrary::defaultMediaLibrary().items();
    QStringList listed;
    for (const auto& item : items) listed << item.title() + QLatin1Char('|') + item.artist() + QLatin1Char('|') + item.decodedFormat();
    // Damaged files and the video without sound are not songs.
    EXPECT_EQ(listed, (QStringList{QStringLiteral("Flac Tune|Ana|flac"), QStringLiteral("Ogg Tune|Bo|ogg"),
                                   QStringLiteral("Opus Tune|Cy|opus"), QStringLiteral("Plain Stream||aac"),
                                   QStringLiteral("WavPack Tune|Di|wv")}));
    for (const auto& item : items) {
        SCOPED_TRACE(item.title().toStdString());
        EXPECT_TRUE(item.isOfferedAsWav());
        EXPECT_EQ(item.libraryExtension(), QStringLiteral("wav"));
        EXPECT_EQ(item.assetURL().toString(),
                  QStringLiteral("ipod-library://item/item.wav?id=%1").arg(item.persistentID()));
        EXPECT_EQ(MPMediaLibrary::defaultMediaLibrary().itemForURL(item.assetURL())->filePath(), item.filePath());
    }
    // The importer's own formats are not decoded.
    EXPECT_TRUE(MPMediaItem::decodedFormatForFile(QStringLiteral("/x/a.mp3")).isEmpty());
    EXPECT_EQ(MPMediaItem::decodedFormatForFile(QStringLiteral("/x/A.FLAC")), QStringLiteral("flac"));
    EXPECT_TRUE(MPMediaItem::decodedFormatForFile(QStringLiteral("/x/cover.png")).isEmpty());
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    for (const char* name : {"text.flac", "empty.opus", "cut.ogg", "silent.mp4"})
        EXPECT_FALSE(library.addFile(music->path() + QLatin1Char('/') + QLatin1String(name)).has_value()) << name;
}

TEST_F(DecodedSongs, KeepTheirCovers) {
    for (const char* title : {"Flac Tune", "Ogg Tune"}) {
        SCOPED_TRACE(title);
        const QImage cover = song(title).artworkImageWithSize(QSize(60, 60));
        ASSERT_FALSE(cover.isNull());
        EXPECT_EQ(cover.size(), QSize(60, 60));
        EXPECT_GT(qRed(cover.pixel(30, 30)), 200);
        EXPECT_LT(qGreen(cover.pixel(30, 30)), 50);
    }
    EXPECT_TRUE(song("Opus Tune").artworkImageWithSize(QSize(60, 60)).isNull());
}

TEST_F(DecodedSongs, DecodeOnceWithoutLossAtTheirOwnRateAndChannels) {
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    struct Expect {
        const char* title;
        const char* rate;
        const char* channels;
        int tolerance; // lossy formats decode to float, converted once to 16 bits
    } cases[] = {{"Flac Tune", "48000", "2", 0}, {"Ogg Tune", "44100", "1", 1}, {"Opus Tune", "48000", "2", 1},
                 {"WavPack Tune", "44100", "2", 0}, {"Plain Stream", "44100", "2", 1}};
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.title);
        const MPMediaItem item = song(c.title);
        EXPECT_FALSE(library.isItemReady(item));
        // Opening the library URL decodes the song into the cache.
        const auto asset = AVURLAsset::URLAssetWithURL(item.assetURL());
        const QString wav = asset->filePath();
        ASSERT_FALSE(wav.isEmpty());
        EXPECT_TRUE(library.isItemReady(item));
        EXPECT_EQ(QFileInfo(wav).absolutePath(), QDir(SongWavCache::cacheDirectory()).absolutePath());
        EXPECT_FALSE(wav.startsWith(home.documents()));
        EXPECT_TRUE(QFileInfo(wav).fileName().startsWith(QString::number(item.persistentID()) + QLatin1Char('-')));
        EXPECT_EQ(probeStreamField(wav, QStringLiteral("codec_name")), QStringLiteral("pcm_s16le"));
        EXPECT_EQ(probeStreamField(wav, QStringLiteral("sample_rate")), QLatin1String(c.rate));
        EXPECT_EQ(probeStreamField(wav, QStringLiteral("channels")), QLatin1String(c.channels));
        // Sample for sample what ffmpeg decodes.
        const QByteArray ours = readAll(wav).mid(44);
        const QByteArray reference = referenceDecode(item.filePath(), scratch.path());
        ASSERT_EQ(ours.size(), reference.size());
        const auto* a = reinterpret_cast<const int16_t*>(ours.constData());
        const auto* b = reinterpret_cast<const int16_t*>(reference.constData());
        int worst = 0;
        for (qsizetype i = 0; i < ours.size() / 2; ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
        EXPECT_LE(worst, c.tolerance);
        // Asked again, the same file, untouched.
        const QDateTime written = QFileInfo(wav).lastModified();
        QString error;
        EXPECT_EQ(library.songCache().fileForItem(item, &error), wav) << error.toStdString();
        EXPECT_EQ(QFileInfo(wav).lastModified(), written);
    }
    EXPECT_EQ(cacheEntries().size(), 5);
}

TEST_F(DecodedSongs, AChangedSongIsDecodedAgainAndAVanishedOneDropped) {
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    const QString path = music->path() + QStringLiteral("/changing.flac");
    makeSong(path, QStringLiteral("Changing"), {}, 2, 44100, 1);
    library.scanNow();
    const MPMediaItem item = song("Changing");
    QString error;
    const QString first = library.songCache().fileForItem(item, &error);
    ASSERT_FALSE(first.isEmpty()) << error.toStdString();

    // New content, a new time: a new decode replaces the old one.
    makeSong(path, QStringLiteral("Changing"), {}, 3, 44100, 1);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    f.close();
    EXPECT_FALSE(library.isItemReady(item));
    const QString second = AVURLAsset::URLAssetWithURL(item.assetURL())->filePath();
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(second, first);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_NEAR(probeDuration(second), 3.0, 0.01);

    // Gone from the disk: asked for, it is refused and its decode goes.
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(library.songCache().fileForItem(item, &error).isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("gone")));
    EXPECT_FALSE(QFileInfo::exists(second));

    // A rescan drops the decodes of songs that left the library.
    const MPMediaItem ogg = song("Ogg Tune");
    ASSERT_TRUE(library.prepareItemNow(ogg));
    EXPECT_EQ(cacheEntries().size(), 1);
    {
        ScopedEnv elsewhere("QUORVEL_MUSIC", scratch.path());
        library.scanNow();
    }
    EXPECT_TRUE(cacheEntries().isEmpty());
    library.scanNow();
}

TEST_F(DecodedSongs, TheCacheDropsTheOldestDecodesBeyondItsBound) {
    SongWavCache cache;
    QStringList files;
    QDateTime when = QDateTime::currentDateTime().addSecs(-600);
    for (const char* title : {"Flac Tune", "Ogg Tune", "WavPack Tune"}) {
        QString error;
        const QString wav = cache.fileForItem(song(title), &error);
        ASSERT_FALSE(wav.isEmpty()) << error.toStdString();
        // Decoded a minute apart, in this order.
        QFile f(wav);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(when = when.addSecs(60), QFileDevice::FileModificationTime));
        files << wav;
    }
    const qint64 flac = QFileInfo(files[0]).size(), ogg = QFileInfo(files[1]).size(), wv = QFileInfo(files[2]).size();
    // Room for the two newest and the next decode: the oldest goes first.
    cache.setByteLimit(ogg + wv + 2 * 48000 * 5 * 2 + 100);
    QString error;
    const QString opus = cache.fileForItem(song("Opus Tune"), &error);
    ASSERT_FALSE(opus.isEmpty()) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(files[0]));
    EXPECT_TRUE(QFileInfo::exists(files[1]));
    EXPECT_TRUE(QFileInfo::exists(files[2]));
    EXPECT_TRUE(QFileInfo::exists(opus));
    // A song bigger than the whole bound is still kept while it is the newest.
    cache.setByteLimit(flac / 2);
    const QString again = cache.fileForItem(song("Flac Tune"), &error);
    ASSERT_FALSE(again.isEmpty());
    EXPECT_EQ(cacheEntries(), QStringList{QFileInfo(again).fileName()});
}

TEST_F(DecodedSongs, PreparingRunsOnAWorkerAndCompletesOnTheMainThread) {
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    const MPMediaItem item = song("Flac Tune");
    std::vector<float> progress;
    std::atomic<bool> done{false};
    bool progressOnMain = true, completionOnMain = false;
    QString error = QStringLiteral("not called");
    library.prepareItem(
        item, [&](float f) { progress.push_back(f), progressOnMain = progressOnMain && isMainThread(); },
        [&](const QString& e) {
            error = e;
            completionOnMain = isMainThread();
            done = true;
        });
    ASSERT_TRUE(waitUntil([&] { return done.load(); }));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(completionOnMain);
    EXPECT_TRUE(progressOnMain);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_FLOAT_EQ(progress.back(), 1.0f);
    EXPECT_TRUE(library.isItemReady(item));

    // A song that needs no decoding completes at once, through the event loop.
    done = false;
    const QString plain = scratch.path() + QStringLiteral("/plain.wav");
    ASSERT_TRUE(writeWav16(plain, sine(440, 1), 44100, 1));
    const auto wav = library.addFile(plain);
    ASSERT_TRUE(wav.has_value());
    EXPECT_FALSE(wav->isOfferedAsWav());
    EXPECT_TRUE(library.isItemReady(*wav));
    library.prepareItem(*wav, {}, [&](const QString& e) { error = e, done = true; });
    EXPECT_FALSE(done.load());
    ASSERT_TRUE(waitUntil([&] { return done.load(); }));
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(DecodedSongs, DamagedSongsKeepWhatDecodesOrLeaveNothing) {
    auto& library = MPMediaLibrary::defaultMediaLibrary();
    const QString whole = scratch.path() + QStringLiteral("/whole.flac");
    makeSong(whole, QStringLiteral("Whole"), {}, 6, 44100, 2);
    const QByteArray flac = readAll(whole);
    // The first frame follows the metadata blocks, at its sync code.
    const qsizetype firstFrame = flac.indexOf(QByteArray("\xff\xf8", 2), 42);
    ASSERT_GT(firstFrame, 42);

    // Every frame damaged: the song opens, but no audio comes out.
    QByteArray noFrames = flac;
    for (qsizetype i = firstFrame; i < noFrames.size(); ++i) noFrames[i] = char(0x55);
    writeAll(scratch.path() + QStringLiteral("/noframes.flac"), noFrames);
    const auto silent = library.addFile(scratch.path() + QStringLiteral("/noframes.flac"));
    ASSERT_TRUE(silent.has_value());
    QString error;
    EXPECT_TRUE(library.songCache().fileForItem(*silent, &error).isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("no audio"))) << error.toStdString();
    EXPECT_FALSE(library.prepareItemNow(*silent));
    EXPECT_TRUE(AVURLAsset::URLAssetWithURL(silent->assetURL())->filePath().isEmpty());
    EXPECT_TRUE(cacheEntries().isEmpty()) << cacheEntries().join(' ').toStdString();

    // Cut in the middle: what decodes is kept, whole.
    writeAll(scratch.path() + QStringLiteral("/cut.flac"), flac.left(flac.size() / 2));
    const auto cut = library.addFile(scratch.path() + QStringLiteral("/cut.flac"));
    ASSERT_TRUE(cut.has_value());
    const QString wav = library.songCache().fileForItem(*cut, &error);
    ASSERT_FALSE(wav.isEmpty()) << error.toStdString();
    EXPECT_TRUE(WavFileWriter::isComplete(wav));
    EXPECT_GT(probeDuration(wav), 1.0);
    EXPECT_LT(probeDuration(wav), 5.0);
}

TEST_F(DecodedSongs, ADecodeCancelledWithTheCacheLeavesNoHalfWrittenFile) {
    const QString longSong = scratch.path() + QStringLiteral("/long.flac");
    // Ten minutes, quick to make.
    const ToolResult made = runTool(QStringLiteral("ffmpeg"),
                                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                                     QStringLiteral("lavfi"), QStringLiteral("-i"),
                                     QStringLiteral("sine=f=440:d=600,aformat=channel_layouts=stereo"),
                                     QStringLiteral("-compression_level"), QStringLiteral("0"), longSong});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const auto item = MPMediaLibrary::defaultMediaLibrary().addFile(longSong);
    ASSERT_TRUE(item.has_value());
    std::atomic<bool> completed{false};
    QString error;
    {
        SongWavCache cache;
        cache.beginFileForItem(*item, {}, [&](const QString&, const QString& e) {
            error = e;
            completed = true;
        });
        // Gone while the worker decodes: the destructor stops and joins it.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(waitUntil([&] { return completed.load(); }));
    EXPECT_TRUE(error.contains(QStringLiteral("cancelled"))) << error.toStdString();
    EXPECT_TRUE(cacheEntries().isEmpty()) << cacheEntries().join(' ').toStdString();
}

TEST(WavFileWriterFiles, HoldManyChannelsAndSayWhenTheyAreIncomplete) {
    TempHome home;
    const QString path = home.path() + QStringLiteral("/six.wav");
    WavFileWriter writer;
    QString error;
    ASSERT_TRUE(writer.open(path, 48000, 6, &error)) << error.toStdString();
    std::vector<int16_t> samples(6 * 4800);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t((i % 6) * 1000);
    ASSERT_TRUE(writer.write(samples.data(), 4800, &error));
    EXPECT_FALSE(WavFileWriter::isComplete(path)); // sizes not written yet
    ASSERT_TRUE(writer.finish(&error));
    EXPECT_TRUE(WavFileWriter::isComplete(path));
    EXPECT_EQ(probeStreamField(path, QStringLiteral("channels")), QStringLiteral("6"));
    EXPECT_EQ(probeStreamField(path, QStringLiteral("sample_rate")), QStringLiteral("48000"));
    EXPECT_NEAR(probeDuration(path), 0.1, 1e-6);
    QFile::resize(path, QFileInfo(path).size() - 1);
    EXPECT_FALSE(WavFileWriter::isComplete(path));
    EXPECT_FALSE(writer.open(home.path() + QStringLiteral("/none/x.wav"), 48000, 2, &error));
    EXPECT_FALSE(error.isEmpty());
}
