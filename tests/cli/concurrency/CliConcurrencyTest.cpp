// Several quorvel-cli processes on one documents folder at once: the start-up
// work runs once, exports of one title queue for the work files and each
// keeps its own ringtone, and a store whose flags cannot be read stops the
// start without renaming anything. Checked with sqlite3 and ffprobe.
#include "TestSupport.h"
#include "platform/core/DocumentsLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace quorvel::test;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out, err;
};

class CliConcurrency : public ::testing::Test {
protected:
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUORVEL_HOME"), home.path());
        env.insert(QStringLiteral("QUORVEL_MUSIC"), music.path());
        env.remove(QStringLiteral("QUORVEL_NO_HARDWARE_AAC"));
        return env;
    }
    // Starts every command before waiting for any.
    std::vector<CliRun> runTogether(const std::vector<QStringList>& commands) {
        std::vector<std::unique_ptr<QProcess>> processes;
        for (const QStringList& args : commands) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(environment());
            p->start(QStringLiteral(QUORVEL_CLI), args);
            processes.push_back(std::move(p));
        }
        std::vector<CliRun> runs;
        for (auto& p : processes) {
            CliRun r;
            if (p->waitForFinished(600000) && p->exitStatus() == QProcess::NormalExit) r.exitCode = p->exitCode();
            else p->kill();
            r.out = QString::fromUtf8(p->readAllStandardOutput());
            r.err = QString::fromUtf8(p->readAllStandardError());
            runs.push_back(r);
        }
        return runs;
    }
    CliRun run(const QStringList& args) { return runTogether({args}).front(); }

    QString store() const { return home.documents() + QStringLiteral("/.Quorvel.sqlite"); }
    QString query(const QString& sql) const {
        ToolResult r = runTool(QStringLiteral("sqlite3"), {store(), sql});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return r.out.trimmed();
    }
    QStringList visibleFiles() const {
        return QDir(home.documents()).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }
    void touch(const QString& name) const {
        QFile f(home.documents() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("audio");
    }

    QString makeSong(const QString& title) const {
        const QString song = music.path() + QStringLiteral("/song.mp3");
        const ToolResult r = runTool(
            QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=20"), QStringLiteral("-metadata"),
             QStringLiteral("title=") + title, QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-y"), song});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return song;
    }

    TempHome home;
    QTemporaryDir music;
};

} // namespace

TEST_F(CliConcurrency, EightStartsOnAFreshFolderMigrateItOnce) {
    for (const char* name : {"Bells.m4r", "Horn.m4r", "Chimes.m4a"}) touch(QString::fromLatin1(name));
    const std::vector<CliRun> runs = runTogether(std::vector<QStringList>(8, QStringList{QStringLiteral("list")}));
    for (const CliRun& r : runs) EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Each file renamed once, recorded once; one flags row, marked done.
    EXPECT_EQ(visibleFiles(), (QStringList{QStringLiteral("Bells_0.m4r"), QStringLiteral("Chimes_0.m4r"),
                                           QStringLiteral("Horn_0.m4r")}));
    EXPECT_EQ(query(QStringLiteral("SELECT file, counter FROM Ringtone ORDER BY file")),
              QStringLiteral("Bells_0.m4r|0\nChimes_0.m4r|0\nHorn_0.m4r|0"));
    EXPECT_EQ(query(QStringLiteral("SELECT group_concat(oldRingtoneLoaded) FROM AppFlags")), QStringLiteral("1"));
    // Every start saw the three rows (none listed before the migration was done).
    for (const CliRun& r : runs) EXPECT_EQ(r.out.count(QLatin1Char('\n')), 3) << r.out.toStdString();
    // Later starts leave files and rows alone.
    touch(QStringLiteral("Late.m4r"));
    EXPECT_EQ(run({QStringLiteral("list")}).exitCode, 0);
    EXPECT_TRUE(visibleFiles().contains(QStringLiteral("Late.m4r")));
    EXPECT_EQ(query(QStringLiteral("SELECT count(*) FROM Ringtone")), QStringLiteral("3"));
}

TEST_F(CliConcurrency, FourExportsOfOneTitleEachKeepTheirOwnRingtone) {
    const QString song = makeSong(QStringLiteral("Same Tune"));
    // Two through the engine (the effects file), two without: every work file is shared.
    std::vector<QStringList> commands;
    for (int i = 0; i < 4; ++i) {
        QStringList args = {QStringLiteral("make"), song, QStringLiteral("--start"), QString::number(i * 2)};
        if (i % 2) args << QStringLiteral("--speed") << QStringLiteral("1");
        commands.push_back(args);
    }
    const std::vector<CliRun> runs = runTogether(commands);
    QSet<QString> printed;
    for (const CliRun& r : runs) {
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        printed.insert(QFileInfo(r.out.trimmed().section(QLatin1Char('\n'), -1)).fileName());
    }
    EXPECT_EQ(printed.size(), 4);
    EXPECT_EQ(query(QStringLiteral("SELECT count(*), count(DISTINCT file), group_concat(counter) FROM "
                                   "(SELECT file, counter FROM Ringtone ORDER BY counter)")),
              QStringLiteral("4|4|1,2,3,4"));
    const QStringList rows = query(QStringLiteral("SELECT file FROM Ringtone ORDER BY file")).split(QLatin1Char('\n'));
    EXPECT_EQ(QSet<QString>(rows.begin(), rows.end()), printed);
    // Every row's file exists and plays; nothing else is left in the folder.
    EXPECT_EQ(visibleFiles(), rows);
    for (const QString& file : rows) {
        const QString path = home.documents() + QLatin1Char('/') + file;
        EXPECT_EQ(probeStreamField(path, QStringLiteral("codec_name")), QStringLiteral("aac")) << file.toStdString();
        EXPECT_GT(probeDuration(path), 2.9) << file.toStdString();
    }
    // And each can be deleted by its name.
    EXPECT_EQ(run({QStringLiteral("delete"), rows.front()}).exitCode, 0);
    EXPECT_EQ(query(QStringLiteral("SELECT count(*) FROM Ringtone")), QStringLiteral("3"));
}

TEST_F(CliConcurrency, AFlagsRowThatCannotBeReadStopsTheStartAndRenamesNothing) {
    ASSERT_EQ(run({QStringLiteral("list")}).exitCode, 0);
    touch(QStringLiteral("Bells.m4r"));
    // Damage the flags table's page (the store is closed: its log is folded in).
    const int page = query(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'AppFlags'")).toInt();
    const int pageSize = query(QStringLiteral("PRAGMA page_size")).toInt();
    ASSERT_GT(page, 1);
    {
        QFile f(store());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(qint64(page - 1) * pageSize));
        f.write(QByteArray(8, char(0xFF)));
    }
    for (const char* command : {"list", "make"}) {
        SCOPED_TRACE(command);
        QStringList args{QString::fromLatin1(command)};
        if (args.front() == QLatin1String("make")) args << home.documents() + QStringLiteral("/Bells.m4r");
        const CliRun r = run(args);
        EXPECT_NE(r.exitCode, 0);
        // One sentence naming the store and why, not the store's error dump.
        EXPECT_TRUE(r.err.contains(store() + QStringLiteral(" is damaged")) &&
                    r.err.contains(QStringLiteral("malformed")))
            << r.err.toStdString();
        EXPECT_EQ(visibleFiles(), QStringList{QStringLiteral("Bells.m4r")});
    }
}

TEST_F(CliConcurrency, AWaitingExportSaysSoOnceOnATerminal) {
    const QString song = makeSong(QStringLiteral("Tune"));
    ASSERT_EQ(run({QStringLiteral("list")}).exitCode, 0);
    auto other = std::make_unique<LockHolder>(quorvel::DocumentsLock::kExportLockName); // another program's export
    ASSERT_TRUE(other->isHolding());
    // script(1) gives the command a terminal and copies what it shows.
    QProcess terminal;
    terminal.setProcessEnvironment(environment());
    terminal.start(QStringLiteral("script"),
                   {QStringLiteral("-qfec"), QStringLiteral("'%1' make '%2'").arg(QStringLiteral(QUORVEL_CLI), song),
                    QStringLiteral("/dev/null")});
    QByteArray shown;
    ASSERT_TRUE(waitUntil([&] {
        shown += terminal.readAllStandardOutput();
        return shown.contains("waiting for another export");
    }, 60000)) << shown.toStdString();
    EXPECT_TRUE(QDir(home.documents()).entryList({QStringLiteral(".tmpExport*")}, QDir::Files | QDir::Hidden).isEmpty());
    other.reset(); // that export ends
    ASSERT_TRUE(terminal.waitForFinished(300000));
    shown += terminal.readAllStandardOutput();
    EXPECT_EQ(terminal.exitCode(), 0) << shown.toStdString();
    EXPECT_EQ(shown.count("waiting for another export"), 1) << shown.toStdString();
    EXPECT_EQ(query(QStringLiteral("SELECT file FROM Ringtone")), QStringLiteral("Tune-1.m4r"));
}
