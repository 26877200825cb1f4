// Which library items the pick refuses with the DRM alert.
#include "TestSupport.h"
#include "platform/musiclibrary/MPMediaItem.h"
#include "screens/WorkingRingtuneFactory.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

TEST(Pick, AnItemWithoutAnAssetURLIsRefusedLikeAProtectedOne) {
    QTemporaryDir dir;
    const QString song = dir.path() + QStringLiteral("/song.wav");
    ASSERT_TRUE(writeWav16(song, sine(440, 0.5), 44100, 1));
    const MPMediaItem playable = MPMediaItem::itemWithFile(song);
    ASSERT_FALSE(playable.assetURL().isEmpty());
    EXPECT_FALSE(WorkingRingtuneFactory::isProtected(playable));

    const QString locked = dir.path() + QStringLiteral("/song.m4p");
    ASSERT_TRUE(QFile::copy(song, locked));
    EXPECT_TRUE(WorkingRingtuneFactory::isProtected(MPMediaItem::itemWithFile(locked)));

    const MPMediaItem withoutURL; // what a picker hands back for an item it cannot name
    ASSERT_TRUE(withoutURL.assetURL().isEmpty());
    EXPECT_TRUE(WorkingRingtuneFactory::isProtected(withoutURL));
}
