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

// quorvel-cli on a really full disk: in a mount namespace of its own, the
// documents folder is a tmpfs of `kilobytes`. Without user namespaces
// (`available` false) nothing runs.
CliResult runCliOnASmallDisk(const QString& home, const QString& music, const QStringList& args, int kilobytes,
                             bool hardwareAac, bool* available) {
    const QString documents = home + QStringLiteral("/Documents");
    QDir().mkpath(documents);
    const QString mount = QStringLiteral("mount -t tmpfs -o size=%1k tmpfs \"$1\" && shift && exec \"$@\"").arg(kilobytes);
    *available = runTool(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"), mount,
                                                     QStringLiteral("sh"), documents, QStringLiteral("true")})
                     .exitCode == 0;
    if (!*available) return {};
    const ToolResult r = runTool(QStringLiteral("unshare"),
                                 QStringList{QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"), mount,
                                             QStringLiteral("sh"), documents, QStringLiteral(QUORVEL_CLI)} +
                                     args,
                                 300000, cliEnvironment(home, music, hardwareAac));
    return {r.exitCode, r.out, r.err};
}

// A 20 s MP3 at `bitRate`, made by ffmpeg; empty when it could not be made.
QString twentySecondSong(const QString& dir, const QString& bitRate) {
    const QString song = dir + QStringLiteral("/song.mp3");
    const ToolResult r = runTool(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                                                           QStringLiteral("lavfi"), QStringLiteral("-i"),
                                                           QStringLiteral("sine=frequency=440:duration=20"), QStringLiteral("-b:a"),
                                                           bitRate, QStringLiteral("-y"), song});
    return r.exitCode == 0 ? song : QString();
}

QString lastLine(const QString& text) { return text.trimmed().section(QLatin1Char('\n'), -1); }

} // namespace

// The cut of the segment is the first thing written: it is what does not fit.
TEST(CliFullDisk, ACutOnAFullDiskSaysNoSpaceLeftWithTheFile) {
    TempHome home;
    QTemporaryDir music;
    const QString song = twentySecondSong(music.path(), QStringLiteral("128k"));
    ASSERT_FALSE(song.isEmpty());
    bool available = false;
    const CliResult r = runCliOnASmallDisk(home.path(), music.path(),
                                           {QStringLiteral("make"), song, QStringLiteral("--length"), QStringLiteral("12")}, 150,
                                           true, &available);
    if (!available) GTEST_SKIP() << "no mount namespace for a small disk";
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    const QString last = lastLine(r.err);
    EXPECT_TRUE(last.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))) && last.contains(QStringLiteral(".tmpExport")))
        << last.toStdString();
    EXPECT_TRUE(r.out.trimmed().isEmpty());
}

// The AAC writer's road: the cut and the processed WAV fit, the ringtone does not.
TEST(CliFullDisk, TheAacWritersFailureReachesTheCommandLine) {
    TempHome home;
    QTemporaryDir music;
    const QString song = twentySecondSong(music.path(), QStringLiteral("32k"));
    ASSERT_FALSE(song.isEmpty());
    bool available = false;
    // 12 s of processed 16-bit mono is 1,058 kB; the ringtone would need about 190 kB more.
    const CliResult r = runCliOnASmallDisk(home.path(), music.path(),
                                           {QStringLiteral("make"), song, QStringLiteral("--length"), QStringLiteral("12"), QStringLiteral("--verbose")}, 1200,
                                           false, &available);
    if (!available) GTEST_SKIP() << "no mount namespace for a small disk";
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("writer: AudioExporterFor3G"))) << r.err.toStdString();
    const QString last = lastLine(r.err);
    EXPECT_TRUE(last.startsWith(QStringLiteral("quorvel-cli: the export failed: Cannot write ")) &&
                last.contains(home.documents()) && last.endsWith(QString::fromLocal8Bit(std::strerror(ENOSPC))))
        << last.toStdString();
}

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
                last.contains(home.documents() + QStringLiteral("/Big Tune.m4r")) &&
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
