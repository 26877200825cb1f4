// quorvel-cli as a hostile world uses it: titles that collide with stored
// names, that are too long for a file name or start with ".", an output that
// is the input, kill -9 and Ctrl+C in the middle of an export. Nothing a user
// made may be lost or written over, and nothing half-made may be visible.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quorvel::test;

namespace {

class CliSafety : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new QTemporaryDir;
        song(QStringLiteral("bells.mp3"), QStringLiteral("Bells"), 20);
        song(QStringLiteral("bells1.mp3"), QStringLiteral("Bells-1"), 20);
        song(QStringLiteral("long.mp3"), QStringLiteral("Long Song"), 60);
        song(QStringLiteral("latin.mp3"), QString(300, QLatin1Char('x')), 5);
        song(QStringLiteral("cjk.mp3"), QString(100, QChar(0x9234)), 5); // 鈴, 3 bytes each
        song(QStringLiteral("hidden.mp3"), QStringLiteral(".hidden tune"), 5);
        song(QStringLiteral("work.mp3"), QStringLiteral(".tmpExport.x"), 5);
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }
    static void song(const QString& name, const QString& title, int seconds) {
        ASSERT_EQ(runTool(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                           QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=%1").arg(seconds),
                           QStringLiteral("-metadata"), QStringLiteral("title=") + title, QStringLiteral("-c:a"),
                           QStringLiteral("libmp3lame"), QStringLiteral("-y"), source(name)})
                      .exitCode,
                  0)
            << name.toStdString();
    }
    static QString source(const QString& name) { return media->path() + QLatin1Char('/') + name; }

    ToolResult cli(const QStringList& args, bool hardwareAac = true) {
        return runTool(QStringLiteral(QUORVEL_CLI), args, 300000, cliEnvironment(home.path(), media->path(), hardwareAac));
    }
    // A make that is still running, for the signal tests.
    std::unique_ptr<QProcess> startMake(bool hardwareAac) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(cliEnvironment(home.path(), media->path(), hardwareAac));
        process->start(QStringLiteral(QUORVEL_CLI), {QStringLiteral("make"), source(QStringLiteral("long.mp3")),
                                                     QStringLiteral("--length"), QStringLiteral("39"),
                                                     QStringLiteral("--speed"), QStringLiteral("-2")});
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }
    // Waits until a file whose name matches appears in the documents folder.
    bool waitForFile(const QString& pattern) {
        for (int i = 0; i < 3000; ++i) {
            if (!QDir(home.documents()).entryList({pattern}, QDir::Files | QDir::Hidden).isEmpty()) return true;
            QThread::msleep(10);
        }
        return false;
    }
    QString query(const QString& sql) const {
        return runTool(QStringLiteral("sqlite3"), {home.documents() + QStringLiteral("/.Quorvel.sqlite"), sql}).out.trimmed();
    }
    QStringList visibleFiles() const { return QDir(home.documents()).entryList(QDir::Files, QDir::Name); }
    QStringList workFiles() const {
        return QDir(home.documents())
            .entryList({QStringLiteral(".tmpExport.*"), QStringLiteral(".processedEffect.wav"),
                        QStringLiteral(".tmpRingtone-*")},
                       QDir::Files | QDir::Hidden);
    }

    static QTemporaryDir* media;
    TempHome home;
};
QTemporaryDir* CliSafety::media = nullptr;

} // namespace

// "Bells-1" exported after "Bells" once wrote its file over "Bells-1.m4r",
// the stored ringtone of "Bells".
TEST_F(CliSafety, AnExportNeverWritesOverAStoredRingtoneOfAnotherTitle) {
    for (bool hardwareAac : {true, false}) {
        SCOPED_TRACE(hardwareAac ? "export service" : "AAC writer");
        ToolResult first = cli({QStringLiteral("make"), source(QStringLiteral("bells.mp3")), QStringLiteral("--length"),
                                QStringLiteral("3")}, hardwareAac);
        ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
        ToolResult second = cli({QStringLiteral("make"), source(QStringLiteral("bells1.mp3")), QStringLiteral("--length"),
                                 QStringLiteral("5")}, hardwareAac);
        ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
        EXPECT_NE(first.lastLine(), second.lastLine());
        // Each file is its own export, with its own length.
        EXPECT_NEAR(probeDuration(first.lastLine()), 3.0, 0.05);
        EXPECT_NEAR(probeDuration(second.lastLine()), 5.0, 0.05);
        ToolResult list = cli({QStringLiteral("list")});
        EXPECT_EQ(list.out.trimmed().split(QLatin1Char('\n')).size(), 2) << list.out.toStdString();
        EXPECT_EQ(query(QStringLiteral("SELECT group_concat(title || '=' || file, ' ') FROM "
                                       "(SELECT title, file FROM Ringtone ORDER BY title)")),
                  QStringLiteral("Bells=%1 Bells-1=%2")
                      .arg(QFileInfo(first.lastLine()).fileName(), QFileInfo(second.lastLine()).fileName()));
        for (const QString& name : visibleFiles()) ASSERT_TRUE(cli({QStringLiteral("delete"), name}).exitCode == 0);
    }
}

// A 300-character title (or 100 CJK characters, 300 bytes) could never be
// exported; a title starting with "." made a hidden ringtone, or one the
// clean-up of work files took away from its row.
TEST_F(CliSafety, StoredFileNamesFitAndAreNeverHidden) {
    struct Case {
        QString song;
        QString title;
    } cases[] = {
        {QStringLiteral("latin.mp3"), QString(300, QLatin1Char('x'))},
        {QStringLiteral("cjk.mp3"), QString(100, QChar(0x9234))},
        {QStringLiteral("hidden.mp3"), QStringLiteral(".hidden tune")},
        {QStringLiteral("work.mp3"), QStringLiteral(".tmpExport.x")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.song.toStdString());
        ToolResult r = cli({QStringLiteral("make"), source(c.song)});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QString name = QFileInfo(r.lastLine()).fileName();
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
        EXPECT_LE(QFile::encodeName(name).size(), 255);
        EXPECT_TRUE(name.endsWith(QStringLiteral("-1.m4r"))) << name.toStdString();
        // Cut on a character boundary: what is left is the start of the title.
        QString title = c.title;
        while (title.startsWith(QLatin1Char('.'))) title.remove(0, 1);
        EXPECT_TRUE(title.startsWith(name.chopped(6))) << name.toStdString();
        EXPECT_EQ(query(QStringLiteral("SELECT title FROM Ringtone WHERE file = '%1'").arg(name)), c.title);
    }
    // The next start's clean-up leaves every ringtone with its row.
    ASSERT_EQ(cli({QStringLiteral("list")}).exitCode, 0);
    EXPECT_EQ(visibleFiles().size(), 4) << visibleFiles().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone")), QStringLiteral("4"));
}

// `encode a.wav a.wav` once deleted the WAV and then failed to read it.
TEST_F(CliSafety, EncodeNeverWritesOverItsInputOrAnyOtherFile) {
    const QString wav = home.path() + QStringLiteral("/a.wav");
    ASSERT_TRUE(writeWav16(wav, sine(440, 1.0), 44100, 1));
    ASSERT_TRUE(QFile::link(wav, home.path() + QStringLiteral("/link.wav")));
    ASSERT_EQ(::link(QFile::encodeName(wav).constData(), QFile::encodeName(home.path() + "/hard.wav").constData()), 0);
    QFile other(home.path() + QStringLiteral("/other.m4r"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("a file of the user's");
    other.close();
    QFile original(wav);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    for (const char* out : {"a.wav", "link.wav", "hard.wav", "other.m4r"}) {
        SCOPED_TRACE(out);
        ToolResult r = cli({QStringLiteral("encode"), wav, home.path() + QLatin1Char('/') + QLatin1String(out)});
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("name another OUTPUT"))) << r.err.toStdString();
    }
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), before);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_EQ(other.readAll(), QByteArray("a file of the user's"));
    // A new name works, and nothing else is left beside it.
    ToolResult r = cli({QStringLiteral("encode"), wav, home.path() + QStringLiteral("/new.m4r")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_NEAR(probeDuration(home.path() + QStringLiteral("/new.m4r")), 1.0, 0.03);
    EXPECT_TRUE(QDir(home.path()).entryList({QStringLiteral(".*.tmp-*")}, QDir::Files | QDir::Hidden).isEmpty());
}

// kill -9 in the middle of an export once left a visible "Title.m4r" without
// its index ("moov atom not found").
TEST_F(CliSafety, AKilledExportLeavesNothingVisibleAndTheNextStartClearsItsWorkFiles) {
    for (bool hardwareAac : {true, false}) {
        for (int delayMs : {0, 60, 150}) {
            SCOPED_TRACE(QStringLiteral("%1, killed %2 ms into the writing")
                             .arg(hardwareAac ? "export service" : "AAC writer")
                             .arg(delayMs)
                             .toStdString());
            auto make = startMake(hardwareAac);
            // The ringtone's writer has begun once the processed sound is there (39 s at speed -2: 19.5 s).
            ASSERT_TRUE(waitForFile(QStringLiteral(".processedEffect.wav")));
            ASSERT_TRUE(waitForFile(QStringLiteral("*.m4r")));
            QThread::msleep(delayMs);
            ::kill(pid_t(make->processId()), SIGKILL);
            make->waitForFinished();
            // Whatever is visible is a whole ringtone.
            for (const QString& name : visibleFiles()) {
                if (!name.endsWith(QStringLiteral(".m4r"))) continue;
                EXPECT_NEAR(probeDuration(home.documents() + QLatin1Char('/') + name), 19.5, 0.05) << name.toStdString();
            }
            ASSERT_EQ(cli({QStringLiteral("list")}).exitCode, 0);
            EXPECT_TRUE(workFiles().isEmpty()) << workFiles().join(QLatin1Char(' ')).toStdString();
            for (const QString& name : visibleFiles()) QFile::remove(home.documents() + QLatin1Char('/') + name);
        }
    }
}

// Ctrl+C (and SIGTERM) stop the export: nothing visible, nothing stored,
// the store whole, and a status that says it was interrupted.
TEST_F(CliSafety, MakeEndsOnSigintAndSigtermLeavingNoFile) {
    for (bool hardwareAac : {true, false}) {
        for (int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(QStringLiteral("%1, signal %2").arg(hardwareAac ? "export service" : "AAC writer").arg(signal).toStdString());
            auto make = startMake(hardwareAac);
            ASSERT_TRUE(waitForFile(QStringLiteral("*.m4r")));
            ::kill(pid_t(make->processId()), signal);
            ASSERT_TRUE(make->waitForFinished(10000));
            EXPECT_EQ(make->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(make->exitCode(), 128 + signal);
            EXPECT_TRUE(QString::fromUtf8(make->readAllStandardError()).contains(QStringLiteral("interrupted")));
            EXPECT_TRUE(visibleFiles().isEmpty()) << visibleFiles().join(QLatin1Char(' ')).toStdString();
            EXPECT_TRUE(workFiles().isEmpty()) << workFiles().join(QLatin1Char(' ')).toStdString();
            EXPECT_EQ(query(QStringLiteral("SELECT COUNT(*) FROM Ringtone")), QStringLiteral("0"));
            EXPECT_EQ(query(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        }
    }
}
