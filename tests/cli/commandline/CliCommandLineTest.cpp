// quorvel-cli's command line and what it writes, run as a user runs it:
// results alone on standard output, one line per record even for titles with
// newlines, sentences on standard error, the log only with --verbose.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <gtest/gtest.h>

using namespace quorvel::test;

namespace {

QStringList lines(const QString& text) { return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

// What `list` and `make` escape, undone (the inverse of the program's escaping).
QString unescaped(QString text) {
    return text.replace(QStringLiteral("\\n"), QStringLiteral("\n")).replace(QStringLiteral("\\t"), QStringLiteral("\t"));
}

class CliCommandLine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new QTemporaryDir;
        // An MP3 without a length header: FFmpeg warns that it estimates the duration.
        ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("sine=frequency=440:duration=20"), QStringLiteral("-metadata"),
                QStringLiteral("title=Two\nLines\tTab"), QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                QStringLiteral("-write_xing"), QStringLiteral("0"), path(QStringLiteral("tricky title.mp3"))});
        ASSERT_TRUE(writeWav16(path(QStringLiteral("recording.wav")), sine(660, 8.0), 44100, 1));
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }
    static void ffmpeg(QStringList args) {
        args.prepend(QStringLiteral("error"));
        args.prepend(QStringLiteral("-v"));
        args << QStringLiteral("-y");
        ASSERT_EQ(runTool(QStringLiteral("ffmpeg"), args).exitCode, 0);
    }
    static QString path(const QString& name) { return media->path() + QLatin1Char('/') + name; }

    ToolResult cli(const QStringList& args, bool hardwareAac = true) {
        return runTool(QStringLiteral(QUORVEL_CLI), args, 300000, cliEnvironment(home.path(), media->path(), hardwareAac));
    }
    QStringList visibleFiles() const {
        return QDir(home.documents()).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }

    static QTemporaryDir* media;
    TempHome home;
};
QTemporaryDir* CliCommandLine::media = nullptr;

TEST_F(CliCommandLine, StandardOutputCarriesOnlyResultsAndTheLogNeedsVerbose) {
    for (const bool hardwareAac : {true, false}) {
        SCOPED_TRACE(hardwareAac ? "platform export" : "AAC writer");
        ToolResult quiet = cli({QStringLiteral("make"), path(QStringLiteral("tricky title.mp3")), QStringLiteral("--speed"),
                                QStringLiteral("1")},
                               hardwareAac);
        ASSERT_EQ(quiet.exitCode, 0) << quiet.err.toStdString();
        EXPECT_EQ(lines(quiet.out).size(), 1) << quiet.out.toStdString();
        EXPECT_TRUE(quiet.err.trimmed().isEmpty()) << "without --verbose: " << quiet.err.toStdString();

        ToolResult verbose = cli({QStringLiteral("--verbose"), QStringLiteral("make"), path(QStringLiteral("tricky title.mp3"))},
                                 hardwareAac);
        ASSERT_EQ(verbose.exitCode, 0) << verbose.err.toStdString();
        EXPECT_EQ(lines(verbose.out).size(), 1) << verbose.out.toStdString();
        EXPECT_TRUE(verbose.err.contains(QStringLiteral("engine: "))) << verbose.err.toStdString();
        EXPECT_TRUE(verbose.err.contains(QStringLiteral("writer: "))) << verbose.err.toStdString();
        EXPECT_TRUE(verbose.err.contains(QStringLiteral("Estimating duration"))) << "FFmpeg's warning";
    }
    // A failure is one sentence, FFmpeg's errors about the file are in the log.
    QFile junk(path(QStringLiteral("junk.mp3")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    quint32 noise = 12345;
    for (int i = 0; i < 4000; ++i) {
        noise = noise * 1103515245u + 12345u;
        junk.putChar(char(noise >> 24));
    }
    junk.close();
    ToolResult failed = cli({QStringLiteral("make"), junk.fileName()});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.out.isEmpty()) << failed.out.toStdString();
    EXPECT_EQ(lines(failed.err).size(), 1) << failed.err.toStdString();
    QFile::remove(junk.fileName());
}

TEST_F(CliCommandLine, TitlesWithNewlinesAndTabsKeepEveryRecordOnOneLine) {
    ToolResult songs = cli({QStringLiteral("songs"), QStringLiteral("--search"), QStringLiteral("Lines")});
    ASSERT_EQ(songs.exitCode, 0) << songs.err.toStdString();
    ASSERT_EQ(lines(songs.out).size(), 1) << songs.out.toStdString();
    const QStringList fields = lines(songs.out).front().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 4) << songs.out.toStdString();
    EXPECT_EQ(fields[1], QStringLiteral("Two\\nLines\\tTab"));

    ToolResult made = cli({QStringLiteral("make"), path(QStringLiteral("tricky title.mp3"))});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    ASSERT_EQ(lines(made.out).size(), 1) << made.out.toStdString();
    const QString stored = unescaped(made.lastLine());
    EXPECT_TRUE(QFileInfo(stored).isFile()) << made.out.toStdString();
    EXPECT_EQ(QFileInfo(stored).fileName(), QStringLiteral("Two\nLines\tTab-1.m4r"));

    ToolResult list = cli({QStringLiteral("list")});
    ASSERT_EQ(list.exitCode, 0);
    ASSERT_EQ(lines(list.out).size(), 1) << list.out.toStdString();
    const QStringList row = lines(list.out).front().split(QLatin1Char('\t'));
    ASSERT_EQ(row.size(), 4);
    EXPECT_EQ(row[0], QStringLiteral("Two\\nLines\\tTab-1.m4r"));
    EXPECT_EQ(row[1], QStringLiteral("Two\\nLines\\tTab-1"));
    // The name as `list` shows it deletes that ringtone.
    ToolResult deleted = cli({QStringLiteral("delete"), row[0]});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err.toStdString();
    EXPECT_TRUE(visibleFiles().isEmpty());
}

TEST_F(CliCommandLine, FileUrlsAreAcceptedAsPaths) {
    const QString url = QUrl::fromLocalFile(path(QStringLiteral("tricky title.mp3"))).toString(QUrl::FullyEncoded);
    ASSERT_TRUE(url.contains(QStringLiteral("%20")));
    ToolResult made = cli({QStringLiteral("make"), url});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_TRUE(QFileInfo(unescaped(made.lastLine())).isFile());

    const QString out = home.path() + QStringLiteral("/encoded tone.m4r");
    ToolResult encoded = cli({QStringLiteral("encode"), QStringLiteral("file://localhost") + path(QStringLiteral("recording.wav")),
                              QUrl::fromLocalFile(out).toString()});
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err.toStdString();
    EXPECT_NEAR(probeDuration(out), 8.0, 0.05);

    ToolResult elsewhere = cli({QStringLiteral("make"), QStringLiteral("file://example.org/song.mp3")});
    EXPECT_EQ(elsewhere.exitCode, 1);
    EXPECT_TRUE(elsewhere.err.contains(QStringLiteral("not a file URL of this machine"))) << elsewhere.err.toStdString();
}

TEST_F(CliCommandLine, ARecordingMustBeAWavFile) {
    ToolResult r = cli({QStringLiteral("make"), path(QStringLiteral("tricky title.mp3")), QStringLiteral("--recording")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("is not a WAV file"))) << r.err.toStdString();
    EXPECT_TRUE(visibleFiles().isEmpty());
    // Short forms, a WAV recording: it is made.
    r = cli({QStringLiteral("make"), QStringLiteral("-r"), path(QStringLiteral("recording.wav")), QStringLiteral("-l"),
             QStringLiteral("5"), QStringLiteral("-s"), QStringLiteral("1"), QStringLiteral("-p"), QStringLiteral("-6"),
             QStringLiteral("-i"), QStringLiteral("1.5")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.trimmed().isEmpty()) << "values on their steps are not reported: " << r.err.toStdString();
    EXPECT_NEAR(probeDuration(unescaped(r.lastLine())), 5.0, 0.05);
}

TEST_F(CliCommandLine, ValuesOutsideTheControlsAreSaidOnceWithTheValueUsed) {
    ToolResult r = cli({QStringLiteral("make"), path(QStringLiteral("tricky title.mp3")), QStringLiteral("--start"),
                        QStringLiteral("500"), QStringLiteral("--length"), QStringLiteral("60"), QStringLiteral("--fade-in"),
                        QStringLiteral("2"), QStringLiteral("--speed"), QStringLiteral("1.4"), QStringLiteral("--pitch"),
                        QStringLiteral("-7"), QStringLiteral("--fade-out"), QStringLiteral("3")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The 20 s song: its whole length, from 0.
    EXPECT_EQ(lines(r.err).join(QLatin1Char('\n')).toStdString(),
              (QStringList{QStringLiteral("quorvel-cli: --length 60 is longer than the song (20 s): using 20"),
                           QStringLiteral("quorvel-cli: --start 500 is past the end: using 0"),
                           QStringLiteral("quorvel-cli: --fade-in 2 is not a fade step (0, 1.5 or 3): using 1.5"),
                           QStringLiteral("quorvel-cli: --speed 1.4 is not a speed step (-2, -1, 0, 1 or 2): using 1"),
                           QStringLiteral("quorvel-cli: --pitch -7 is not a pitch step (-12, -6, 0, 6 or 12): using -6")})
                  .join(QLatin1Char('\n'))
                  .toStdString());
    r = cli({QStringLiteral("make"), path(QStringLiteral("tricky title.mp3")), QStringLiteral("-s"), QStringLiteral("-3"),
             QStringLiteral("-l"), QStringLiteral("1")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.toStdString(), "quorvel-cli: --length 1 is shorter than 3 s: using 3\n"
                                   "quorvel-cli: --start -3 is before the beginning: using 0\n");
}

TEST_F(CliCommandLine, GermanMessagesButResultsAsTheyAre) {
    const auto inGerman = [this](const QStringList& args) {
        QProcessEnvironment env = cliEnvironment(home.path(), media->path());
        env.remove(QStringLiteral("LANGUAGE"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
        return runTool(QStringLiteral(QUORVEL_CLI), args, 300000, env);
    };
    const ToolResult made = inGerman({QStringLiteral("make"), path(QStringLiteral("tricky title.mp3")), QStringLiteral("--start"),
                                      QStringLiteral("500"), QStringLiteral("--length"), QStringLiteral("3")});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_EQ(made.err.toStdString(), "quorvel-cli: --start 500 liegt hinter dem Ende: verwende 17\n");
    // The results (the stored file's name, the list's records) are written as in English.
    ASSERT_EQ(lines(made.out).size(), 1);
    EXPECT_TRUE(made.out.endsWith(QStringLiteral(".m4r\n"))) << made.out.toStdString();
    const ToolResult listed = inGerman({QStringLiteral("list")});
    EXPECT_EQ(listed.out, cli({QStringLiteral("list")}).out);
    ASSERT_EQ(lines(listed.out).size(), 1);

    const ToolResult missing = inGerman({QStringLiteral("delete"), QStringLiteral("nowhere.m4r")});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_EQ(missing.err.toStdString(), "quorvel-cli: kein gespeicherter Klingelton heißt „nowhere.m4r“\n");
    EXPECT_TRUE(missing.out.isEmpty());
}

TEST_F(CliCommandLine, HelpVersionAndWrongCommandLines) {
    for (const QStringList& args : {QStringList{QStringLiteral("-v")}, QStringList{QStringLiteral("--version")},
                                    QStringList{QStringLiteral("list"), QStringLiteral("-v")}}) {
        ToolResult r = cli(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, QStringLiteral("quorvel-cli " QUORVEL_VERSION "\n"));
    }
    for (const QStringList& args : {QStringList{QStringLiteral("-h")}, QStringList{QStringLiteral("help")}}) {
        ToolResult r = cli(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: quorvel-cli [OPTIONS] COMMAND")));
        EXPECT_TRUE(r.out.contains(QStringLiteral("--verbose")));
    }
    ToolResult makeHelp = cli({QStringLiteral("help"), QStringLiteral("make")});
    EXPECT_TRUE(makeHelp.out.contains(QStringLiteral("-s, --start S"))) << makeHelp.out.toStdString();
    EXPECT_EQ(makeHelp.out, cli({QStringLiteral("make"), QStringLiteral("-h")}).out);

    const QList<QStringList> wrong = {
        {},
        {QStringLiteral("--bogus")},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("make")},
        {QStringLiteral("make"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")},
        {QStringLiteral("make"), QStringLiteral("a.mp3"), QStringLiteral("--bogus")},
        {QStringLiteral("make"), QStringLiteral("a.mp3"), QStringLiteral("-l")},
        {QStringLiteral("make"), QStringLiteral("a.mp3"), QStringLiteral("--pitch"), QStringLiteral("high")},
        {QStringLiteral("list"), QStringLiteral("extra")},
    };
    for (const QStringList& args : wrong) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        ToolResult r = cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.out.isEmpty());
        ASSERT_EQ(lines(r.err).size(), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("quorvel-cli: "))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage: quorvel-cli"))) << r.err.toStdString();
    }
    EXPECT_TRUE(visibleFiles().isEmpty());
}

// The manual and the shell's completion know every option the program has.
TEST_F(CliCommandLine, TheManualAndTheCompletionKnowEveryOption) {
    const auto read = [](const QString& name) {
        QFile file(QStringLiteral(QUORVEL_SOURCE_DIR "/") + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return QString::fromUtf8(file.readAll());
    };
    const QString manual = read(QStringLiteral("docs/man/quorvel-cli.1"));
    const QString completion = read(QStringLiteral("resources/completion/quorvel-cli"));
    const QRegularExpression optionPattern(QStringLiteral("(?:^|[ ,])(--?[a-z][a-z-]*)"));
    for (const char* command : {"", "songs", "make", "encode", "list", "delete"}) {
        SCOPED_TRACE(command);
        QStringList args{QStringLiteral("--help")};
        if (*command) args.prepend(QString::fromLatin1(command));
        const ToolResult help = cli(args);
        ASSERT_EQ(help.exitCode, 0);
        if (*command) {
            EXPECT_TRUE(manual.contains(QStringLiteral(".B ") + QString::fromLatin1(command))) << "no section for the command";
            EXPECT_TRUE(completion.contains(QString::fromLatin1(command)));
        }
        const QString options = help.out.mid(help.out.indexOf(QStringLiteral("options:")));
        for (const QString& line : options.split(QLatin1Char('\n')).mid(1)) {
            if (!line.startsWith(QStringLiteral("  -")) && !line.startsWith(QStringLiteral("      --"))) break;
            auto matches = optionPattern.globalMatch(line.left(line.indexOf(QStringLiteral("  "), 4)));
            while (matches.hasNext()) {
                const QString option = matches.next().captured(1);
                EXPECT_TRUE(manual.contains(QString(option).replace(QLatin1Char('-'), QStringLiteral("\\-"))))
                    << option.toStdString() << " is not in the manual";
                if (option != QStringLiteral("-v") && option != QStringLiteral("--version")) {
                    EXPECT_TRUE(completion.contains(option)) << option.toStdString() << " is not completed";
                }
            }
        }
    }
}

// The completion, run by bash with Debian's bash-completion, as a user's Tab runs it.
TEST_F(CliCommandLine, BashCompletesCommandsValuesAndStoredRingtones) {
    ASSERT_EQ(cli({QStringLiteral("make"), path(QStringLiteral("recording.wav")), QStringLiteral("-r")}).exitCode, 0);
    // "Recording-<date> <time>-1.m4r", offered with its space escaped.
    const QString stored = cli({QStringLiteral("list")}).out.section(QLatin1Char('\t'), 0, 0);
    ASSERT_TRUE(stored.startsWith(QStringLiteral("Recording-"))) << stored.toStdString();
    const QString script = QStringLiteral(
        "source /usr/share/bash-completion/bash_completion\n"
        "source '" QUORVEL_SOURCE_DIR "/resources/completion/quorvel-cli'\n"
        "complete_line() {\n"
        "  COMP_LINE=\"$1\"; read -ra COMP_WORDS <<<\"$1\"; [[ $1 == *' ' ]] && COMP_WORDS+=('')\n"
        "  COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 )); COMP_POINT=${#COMP_LINE}; COMPREPLY=()\n"
        "  _quorvel_cli; echo \"$1 => ${COMPREPLY[*]}\"\n"
        "}\n"
        "complete_line 'quorvel-cli ma'\n"
        "complete_line 'quorvel-cli make song.mp3 --fade-in '\n"
        "complete_line 'quorvel-cli make song.mp3 -p '\n"
        "complete_line 'quorvel-cli delete '\n");
    QProcessEnvironment env = cliEnvironment(home.path(), media->path());
    env.insert(QStringLiteral("PATH"), QFileInfo(QStringLiteral(QUORVEL_CLI)).absolutePath() + QLatin1Char(':') +
                                           env.value(QStringLiteral("PATH")));
    const ToolResult r = runTool(QStringLiteral("bash"), {QStringLiteral("-c"), script}, 60000, env);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.toStdString(), "quorvel-cli ma => make\n"
                                   "quorvel-cli make song.mp3 --fade-in  => 0 1.5 3\n"
                                   "quorvel-cli make song.mp3 -p  => -12 -6 0 6 12\n"
                                   "quorvel-cli delete  => " + QString(stored).replace(QStringLiteral(" "), QStringLiteral("\\ ")).toStdString() + "\n")
        << r.err.toStdString();
}

} // namespace
