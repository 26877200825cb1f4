// The "mdat" walk of the library importer on hand-made movie files.
#include "TestSupport.h"
#include "pipeline/TSLibraryImport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

using namespace quorvel;

namespace {

QByteArray atom(const char* type, const QByteArray& payload, int sizeField = -1) {
    QByteArray a;
    const uint32_t size = sizeField >= 0 ? uint32_t(sizeField) : uint32_t(payload.size() + 8);
    a.append(char(size >> 24)).append(char(size >> 16)).append(char(size >> 8)).append(char(size));
    a.append(type, 4);
    return a + payload;
}

QByteArray atom64(const char* type, const QByteArray& payload) {
    QByteArray a = atom(type, {}, 1);
    const uint64_t size = uint64_t(payload.size()) + 16;
    for (int shift = 56; shift >= 0; shift -= 8) a.append(char(size >> shift));
    return a + payload;
}

QByteArray pattern(int bytes) {
    QByteArray p(bytes, '\0');
    for (int i = 0; i < bytes; ++i) p[i] = char((i * 7 + 3) & 0xff);
    return p;
}

struct Walk {
    std::vector<std::pair<std::string, qint64>> steps;
    std::vector<qint64> of(const char* step) const {
        std::vector<qint64> v;
        for (const auto& [s, n] : steps)
            if (s == step) v.push_back(n);
        return v;
    }
};

class MovieExtraction : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString movie() const { return dir.filePath(QStringLiteral("in.mov")); }
    QString dest() const { return dir.filePath(QStringLiteral("out.mp3")); }

    // Writes `bytes` as the movie, extracts it, and returns the exception's reason ("" on success).
    QString extract(const QByteArray& bytes, Walk* walk = nullptr) {
        QFile f(movie());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        auto importer = TSLibraryImport::create();
        if (walk)
            importer->setWalkObserver([walk](const char* step, qint64 n) { walk->steps.emplace_back(step, n); });
        try {
            importer->extractQuicktimeMovie(QUrl::fromLocalFile(movie()), QUrl::fromLocalFile(dest()));
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), TSUnknownError);
            return e.reason();
        }
        return {};
    }
    QByteArray output() const {
        QFile f(dest());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

} // namespace

TEST_F(MovieExtraction, SkipsLeadingAtomsAndCopiesOnlyTheFirstPayload) {
    const QByteArray payload = pattern(1000);
    Walk walk;
    EXPECT_EQ(extract(atom("ftyp", pattern(12)) + atom("free", {}) + atom("mdat", payload) + atom("mdat", pattern(50)),
                      &walk),
              QString());
    EXPECT_EQ(walk.of("skip"), (std::vector<qint64>{12, 0}));
    EXPECT_EQ(output(), payload);
}

TEST_F(MovieExtraction, CopiesInChunksOfAHundredKilobytes) {
    const QByteArray payload = pattern(250000);
    Walk walk;
    EXPECT_EQ(extract(atom("ftyp", pattern(12)) + atom("mdat", payload) + atom("moov", pattern(30)), &walk), QString());
    EXPECT_EQ(walk.of("chunk"), (std::vector<qint64>{102400, 102400, 45200}));
    EXPECT_EQ(output(), payload);
}

TEST_F(MovieExtraction, EmptyPayloadGivesAnEmptyFile) {
    EXPECT_EQ(extract(atom("ftyp", pattern(12)) + atom("mdat", {})), QString());
    EXPECT_TRUE(QFileInfo::exists(dest()));
    EXPECT_EQ(output(), QByteArray());
}

TEST_F(MovieExtraction, LargeAndOpenEndedSizes) {
    const QByteArray payload = pattern(300000);
    EXPECT_EQ(extract(atom("ftyp", pattern(12)) + atom64("mdat", payload) + atom("moov", pattern(30))), QString());
    EXPECT_EQ(output(), payload);

    // Size 0: the payload runs to the end of the file.
    EXPECT_EQ(extract(atom("ftyp", pattern(12)) + atom("mdat", {}, 0) + payload), QString());
    EXPECT_EQ(output(), payload);
}

TEST_F(MovieExtraction, UnusableSizesEndTheWalk) {
    const QString notFound = QStringLiteral("Didn't find mdat chunk");
    for (int size = 2; size <= 7; ++size) {
        SCOPED_TRACE(size);
        QFile::remove(dest());
        EXPECT_EQ(extract(atom("ftyp", pattern(12)) + atom("mdat", pattern(40), size)), notFound);
        EXPECT_EQ(extract(atom("free", pattern(12), size) + atom("mdat", pattern(40))), notFound);
        EXPECT_FALSE(QFileInfo::exists(dest()));
    }
    // A non-"mdat" atom reaching to the end hides anything after it.
    EXPECT_EQ(extract(atom("free", {}, 0) + atom("mdat", pattern(40))), notFound);
    // An atom claiming more than the file holds is not followed.
    EXPECT_EQ(extract(atom("free", pattern(10), 5000) + atom("mdat", pattern(40))), notFound);
    // A 64-bit size smaller than its own header.
    QByteArray bad = atom("mdat", {}, 1);
    bad.append(QByteArray(7, '\0')).append(char(8));
    EXPECT_EQ(extract(bad + pattern(40)), notFound);
    EXPECT_EQ(extract(QByteArray()), notFound);
    EXPECT_EQ(extract(atom("ftyp", pattern(12)) + atom("moov", pattern(100))), notFound);
}

TEST_F(MovieExtraction, APayloadLongerThanTheFileIsADamagedMovie) {
    const QString damaged = QStringLiteral("The movie is damaged: its \"mdat\" atom claims more bytes than the file holds");
    // The atom announces 250,000 bytes but the file ends after 150,000.
    Walk walk;
    EXPECT_EQ(extract(atom("ftyp", pattern(12)) + atom("mdat", pattern(150000), 250008), &walk), damaged);
    EXPECT_TRUE(walk.of("chunk").empty()) << "nothing is copied";
    EXPECT_FALSE(QFileInfo::exists(dest()));
    // One byte short, in 32 and in 64 bits.
    EXPECT_EQ(extract(atom("mdat", pattern(1000), 1009)), damaged);
    QByteArray wide = atom64("mdat", pattern(1000));
    wide[15] = char(wide[15] + 1);
    EXPECT_EQ(extract(wide), damaged);
    EXPECT_FALSE(QFileInfo::exists(dest()));
    // Exactly the file's bytes is whole.
    EXPECT_EQ(extract(atom("mdat", pattern(1000))), QString());
    EXPECT_EQ(output(), pattern(1000));
}

TEST_F(MovieExtraction, MissingFilesRaiseTheirReasons) {
    auto importer = TSLibraryImport::create();
    try {
        importer->extractQuicktimeMovie(QUrl::fromLocalFile(dir.filePath(QStringLiteral("none.mov"))),
                                        QUrl::fromLocalFile(dest()));
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), TSUnknownError);
        EXPECT_EQ(e.reason(), QStringLiteral("Couldn't open source file"));
    }
    QFile f(movie());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(atom("mdat", pattern(10)));
    f.close();
    try {
        importer->extractQuicktimeMovie(QUrl::fromLocalFile(movie()),
                                        QUrl::fromLocalFile(dir.filePath(QStringLiteral("no/such/dir/out.mp3"))));
        ADD_FAILURE() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.reason(), QStringLiteral("Couldn't open destination file"));
    }
}

TEST(MovieExtractionError, CarriesTheDomainCodeAndReason) {
    const NSError notFound =
        TSLibraryImport::errorForExtractionException(NSException(TSUnknownError, QStringLiteral("Didn't find mdat chunk")));
    EXPECT_EQ(notFound.domain, QStringLiteral("TSLibraryImportErrorDomain"));
    EXPECT_EQ(notFound.code, -65536);
    EXPECT_EQ(notFound.localizedDescription, QStringLiteral("Didn't find mdat chunk"));
    EXPECT_EQ(TSLibraryImport::errorForExtractionException(NSException(TSFileExistsError, QStringLiteral("x"))).code, -48);
    EXPECT_EQ(TSLibraryImport::errorForExtractionException(NSException(NSInvalidArgumentException, QStringLiteral("x"))).code,
              0);
}
