// quorvel-cli make when the disk takes no more: the export fails with the
// system's own reason and the file it could not write, and the store and
// the folder stay as they were. A file-size limit (RLIMIT_FSIZE) in the
// child stands in for a full disk: the same failed write, in other words.
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace quorvel::test;

namespace {

struct CliResult {
    int exitCode = -1;
    QString out, err;
};

CliResult runCli(const QString& home, const QString& music, const QStringList& args, rlim_t fileSizeLimit = 0) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_HOME"), home);
    env.insert(QStringLiteral("QUORVEL_MUSIC"), music);
    env.remove(QStringLiteral("QUORVEL_NO_HARDWARE_AAC"));
    p.setProcessEnvironment(env);
    if (fileSizeLimit > 0) {
        p.setChildProcessModifier([fileSizeLimit] {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead
        });
    }
    p.start(QStringLiteral(QUORVEL_CLI), args);
    CliResult r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

TEST(CliFullDisk, AFailedWriteSaysWhyAndWhichFileAndLeavesTheStoreWhole) {
    TempHome home;
    QTemporaryDir music;
    const QString song = music.path() + QStringLiteral("/song.mp3");
    // A small source (32 kbit/s), so that its cut fits where the ringtone does not.
    ASSERT_EQ(runTool(QStringLiteral("ffmpeg"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                       QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=20"), QStringLiteral("-metadata"),
                       QStringLiteral("title=Big Tune"), QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                       QStringLiteral("-b:a"), QStringLiteral("32k"), QStringLiteral("-y"), song})
                  .exitCode,
              0);
    ASSERT_EQ(runCli(home.path(), music.path(), {QStringLiteral("list")}).exitCode, 0);

    const CliResult r = runCli(home.path(), music.path(),
                               {QStringLiteral("make"), song, QStringLiteral("--length"), QStringLiteral("12")}, 100 * 1024);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    const QString last = r.err.trimmed().section(QLatin1Char('\n'), -1);
    EXPECT_TRUE(last.startsWith(QStringLiteral("quorvel-cli: the export failed: Cannot write ")) &&
                last.contains(home.documents() + QStringLiteral("/")) &&
                last.endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << last.toStdString();
    EXPECT_TRUE(r.out.trimmed().isEmpty());
    // Nothing recorded, nothing left but the store, and the store is whole.
    EXPECT_TRUE(QDir(home.documents()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
    const QString store = home.documents() + QStringLiteral("/.Quorvel.sqlite");
    EXPECT_EQ(runTool(QStringLiteral("sqlite3"), {store, QStringLiteral("PRAGMA integrity_check")}).out.trimmed(),
              QStringLiteral("ok"));
    EXPECT_EQ(runTool(QStringLiteral("sqlite3"), {store, QStringLiteral("SELECT count(*) FROM Ringtone")}).out.trimmed(),
              QStringLiteral("0"));
    // With room again, the same export is stored.
    EXPECT_EQ(runCli(home.path(), music.path(), {QStringLiteral("make"), song, QStringLiteral("--length"), QStringLiteral("12")})
                  .exitCode,
              0);
}
