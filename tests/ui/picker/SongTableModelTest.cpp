#include "ui/picker/SongTableModel.h"
#include "TestSupport.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class Songs : public ::testing::Test {
protected:
    // A WAV song; the title comes from the file name.
    MPMediaItem song(const QString& name, double seconds = 1.0) {
        const QString path = home.path() + QLatin1Char('/') + name + QStringLiteral(".wav");
        EXPECT_TRUE(test::writeWav16(path, test::sine(440, seconds), 44100, 1));
        return MPMediaItem::itemWithFile(path);
    }
    test::TempHome home;
};

TEST_F(Songs, LengthsReadLikeAClock) {
    EXPECT_EQ(SongTableModel::lengthText(0), QStringLiteral("–")) << "unknown length";
    EXPECT_EQ(SongTableModel::lengthText(-3), QStringLiteral("–"));
    EXPECT_EQ(SongTableModel::lengthText(59.5), QStringLiteral("1:00"));
    EXPECT_EQ(SongTableModel::lengthText(61.2), QStringLiteral("1:01"));
    EXPECT_EQ(SongTableModel::lengthText(3599.4), QStringLiteral("59:59"));
    EXPECT_EQ(SongTableModel::lengthText(3725), QStringLiteral("1:02:05"));
}

TEST_F(Songs, TheFilterMatchesTitleOrArtistIgnoringCaseAndKeepsRowsFindable) {
    SongTableModel model;
    std::vector<MPMediaItem> items = {song(QStringLiteral("Été Bells")), song(QStringLiteral("Drums")),
                                      song(QStringLiteral("Bellsong"), 2.0)};
    const quint64 drums = items[1].persistentID();
    model.setItems(items);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(2, SongTableModel::LengthColumn).data().toString(), QStringLiteral("0:02"));
    EXPECT_EQ(model.rowOf(drums), 1);

    model.setFilterText(QStringLiteral("  BELL "));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.itemAt(1).title(), QStringLiteral("Bellsong"));
    EXPECT_EQ(model.rowOf(drums), -1) << "a filtered-out song has no row";
    model.setFilterText(QStringLiteral("éTÉ"));
    EXPECT_EQ(model.rowCount(), 1) << "accented letters fold too";
    // The filter survives a new list.
    model.setItems(items);
    EXPECT_EQ(model.rowCount(), 1);
    model.setFilterText(QString());
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.rowOf(drums), 1);
}

TEST_F(Songs, CoversAreReadOnlyWhenAskedForAndArriveLater) {
    if (!test::haveTool(QStringLiteral("ffmpeg"))) GTEST_SKIP() << "ffmpeg is needed to tag a cover";
    QImage red(64, 64, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString cover = home.path() + QStringLiteral("/cover.png");
    ASSERT_TRUE(red.save(cover));
    const QString mp3 = home.path() + QStringLiteral("/Covered.mp3");
    const auto made = test::runTool(QStringLiteral("ffmpeg"),
                                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                                     QStringLiteral("-i"), QStringLiteral("sine=d=1"), QStringLiteral("-i"), cover,
                                     QStringLiteral("-map"), QStringLiteral("0:a"), QStringLiteral("-map"), QStringLiteral("1:v"),
                                     QStringLiteral("-c:v"), QStringLiteral("png"), QStringLiteral("-id3v2_version"),
                                     QStringLiteral("3"), QStringLiteral("-disposition:v"), QStringLiteral("attached_pic"), mp3});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

    SongTableModel model;
    model.setItems({song(QStringLiteral("Bare")), MPMediaItem::itemWithFile(mp3)});
    ASSERT_EQ(model.rowCount(), 2);
    const int covered = model.rowOf(MPMediaItem::itemWithFile(mp3).persistentID());
    ASSERT_GE(covered, 0);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QModelIndex cell = model.index(covered, SongTableModel::ArtworkColumn);
    const QPixmap first = cell.data(Qt::DecorationRole).value<QPixmap>();
    ASSERT_TRUE(test::waitUntil([&] { return changed.count() > 0; }, 10000));
    EXPECT_EQ(changed.first().first().toModelIndex(), cell);
    const QImage loaded = cell.data(Qt::DecorationRole).value<QPixmap>().toImage();
    ASSERT_FALSE(loaded.isNull());
    EXPECT_EQ(loaded.pixelColor(loaded.width() / 2, loaded.height() / 2), QColor(Qt::red));
    EXPECT_NE(first.toImage(), loaded) << "the placeholder shows until the cover is read";
    // Other rows were never asked for, so nothing else was read.
    EXPECT_EQ(changed.count(), 1);
}

} // namespace
