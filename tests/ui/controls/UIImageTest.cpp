#include "ui/controls/UIImage.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using quorvel::UIImage;

namespace {
// Points QUORVEL_RESOURCES at `dir` for the fixture's life.
class ResourceFolder {
public:
    explicit ResourceFolder(const QString& dir) : previous_(qgetenv("QUORVEL_RESOURCES")) {
        qputenv("QUORVEL_RESOURCES", dir.toUtf8());
    }
    ~ResourceFolder() {
        if (previous_.isEmpty()) qunsetenv("QUORVEL_RESOURCES");
        else qputenv("QUORVEL_RESOURCES", previous_);
    }

private:
    QByteArray previous_;
};
} // namespace

TEST(UIImage, TakesTheDoubleSizeFileOnDenseScreensAndKeepsThePointSize) {
    const QPixmap normal = UIImage::imageNamed(QStringLiteral("play.png"), 1.0);
    ASSERT_FALSE(normal.isNull());
    EXPECT_EQ(normal.size(), QSize(56, 56));
    EXPECT_EQ(normal.devicePixelRatio(), 1.0);

    const QPixmap dense = UIImage::imageNamed(QStringLiteral("play.png"), 2.0);
    EXPECT_EQ(dense.size(), QSize(112, 112));
    EXPECT_EQ(dense.devicePixelRatio(), 2.0);
    EXPECT_EQ(UIImage::pointSize(dense), QSizeF(56, 56));
    EXPECT_EQ(UIImage::pointSize(QPixmap()), QSizeF(0, 0));
}

TEST(UIImage, FallsBackToTheSingleSizeFileAndGivesNothingForAMissingName) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/images")));
    QImage only(10, 6, QImage::Format_ARGB32);
    only.fill(Qt::red);
    ASSERT_TRUE(only.save(dir.path() + QStringLiteral("/images/only.png")));
    ResourceFolder resources(dir.path());

    const QPixmap fallback = UIImage::imageNamed(QStringLiteral("only.png"), 2.0);
    EXPECT_EQ(fallback.size(), QSize(10, 6));
    EXPECT_EQ(fallback.devicePixelRatio(), 1.0);
    EXPECT_TRUE(UIImage::imageNamed(QStringLiteral("missing.png"), 2.0).isNull());
    EXPECT_TRUE(UIImage::imageNamed(QStringLiteral("missing.png"), 1.0).isNull());
}
