// Inputs that the fuzz targets in fuzz/ found faults with, kept as tests so
// that a fault cannot come back. Each names the target and the fault.
#include "HostileTestSupport.h"
#include "SampleFiles.h"
#include "pipeline/TSLibraryImport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

// fuzz_mdat_walk: an atom with a 64-bit size near 2^63 after another atom made
// position + size overflow (undefined behaviour, reported by UBSan) and the walk
// announced a skip of more bytes than the file holds.
TEST(FuzzFindings, MdatWalkSixtyFourBitSizeNearTheLimitEndsTheWalk) {
    QTemporaryDir dir;
    const QString movie = dir.path() + QStringLiteral("/movie.mov");
    const QByteArray bytes = samples::atom("free", {}) + samples::be32(1) + QByteArray("abcd") +
                             samples::be32(0x7FFFFFFF) + samples::be32(0xFFFFFFFF) + QByteArray(64, 'x');
    ASSERT_TRUE(samples::writeBytes(movie, bytes));
    auto importer = TSLibraryImport::create();
    qint64 largestSkip = 0;
    importer->setWalkObserver([&](const char* step, qint64 n) {
        if (QByteArray(step) == "skip") largestSkip = std::max(largestSkip, n);
    });
    try {
        importer->extractQuicktimeMovie(QUrl::fromLocalFile(movie), QUrl::fromLocalFile(dir.path() + QStringLiteral("/out.mp3")));
        ADD_FAILURE() << "a movie without mdat was extracted";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), TSUnknownError);
        EXPECT_EQ(e.reason(), QStringLiteral("Didn't find mdat chunk"));
    }
    EXPECT_LE(largestSkip, bytes.size());
}
