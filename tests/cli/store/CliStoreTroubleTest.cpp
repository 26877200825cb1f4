// A store quorvel-cli cannot open: random bytes where the store should be, a
// store cut short, a read-only documents folder. The program says so in one
// sentence naming the file, ends with status 1 and leaves the store as it was.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace quorvel::test;

namespace {

class CliStoreTrouble : public ::testing::Test {
protected:
    QString store() const { return home.documents() + QStringLiteral("/.Quorvel.sqlite"); }
    ToolResult cli(const QStringList& args) {
        return runTool(QStringLiteral(QUORVEL_CLI), args, 120000, cliEnvironment(home.path(), music.path()));
    }
    // The CLI with the documents folder mounted read-only in a namespace of
    // its own; nothing (and `available` false) without user namespaces.
    ToolResult cliOnReadOnlyFolder(const QStringList& args, bool* available) {
        const QString mount = QStringLiteral("mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" && shift && exec \"$@\"");
        const QStringList prefix{QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"), mount,
                                 QStringLiteral("sh"), home.documents()};
        *available = runTool(QStringLiteral("unshare"), prefix + QStringList{QStringLiteral("true")}).exitCode == 0;
        if (!*available) return {};
        return runTool(QStringLiteral("unshare"), prefix + QStringList{QStringLiteral(QUORVEL_CLI)} + args, 120000,
                       cliEnvironment(home.path(), music.path()));
    }
    void write(const QByteArray& bytes) {
        QDir().mkpath(home.documents());
        QFile f(store());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray stored() const {
        QFile f(store());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void expectOneSentenceNamingTheStore(const ToolResult& r, const QString& path, const char* what) {
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        const QString line = r.err.trimmed();
        EXPECT_FALSE(line.contains(QLatin1Char('\n'))) << line.toStdString();
        EXPECT_TRUE(line.contains(path)) << line.toStdString();
        EXPECT_TRUE(line.contains(QLatin1String(what))) << line.toStdString();
        EXPECT_FALSE(line.contains(QStringLiteral("Unresolved error"))) << line.toStdString();
    }

    TempHome home;
    QTemporaryDir music;
};

} // namespace

TEST_F(CliStoreTrouble, RandomBytesOrACutStoreAreSaidAndKeptByteForByte) {
    QByteArray noise(8192, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    write(noise);
    expectOneSentenceNamingTheStore(cli({QStringLiteral("list")}), store(), "is damaged");
    EXPECT_EQ(stored(), noise);
    EXPECT_EQ(QDir(home.documents()).entryList({QStringLiteral(".Quorvel.sqlite*")}, QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral(".Quorvel.sqlite")});

    // A real store, cut after its first pages.
    QFile::remove(store());
    ASSERT_EQ(cli({QStringLiteral("list")}).exitCode, 0);
    const QByteArray cut = stored().left(3000);
    ASSERT_EQ(cut.size(), 3000);
    write(cut);
    expectOneSentenceNamingTheStore(cli({QStringLiteral("list")}), store(), "is damaged");
    EXPECT_EQ(stored(), cut);
}

TEST_F(CliStoreTrouble, AReadOnlyDocumentsFolderIsSaidAndTheStoreIsLeftAlone) {
    QDir().mkpath(home.documents());
    bool available = false;
    const ToolResult none = cliOnReadOnlyFolder({QStringLiteral("list")}, &available);
    if (!available) GTEST_SKIP() << "no mount namespace for a read-only folder";
    expectOneSentenceNamingTheStore(none, store(), "cannot be written to");
    EXPECT_FALSE(QFile::exists(store()));

    ASSERT_EQ(cli({QStringLiteral("list")}).exitCode, 0);
    const QByteArray before = stored();
    expectOneSentenceNamingTheStore(cliOnReadOnlyFolder({QStringLiteral("list")}, &available), store(),
                                    "cannot be written to");
    EXPECT_EQ(stored(), before);
}
