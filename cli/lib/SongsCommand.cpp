#include "SongsCommand.h"

#include "CliContext.h"
#include "CliOutput.h"
#include "platform/musiclibrary/MPMediaLibrary.h"

#include <QDir>

namespace quorvel::cli {

CliCommand SongsCommand::command() {
    return {QStringLiteral("songs"), QStringLiteral("[OPTIONS]"), QStringLiteral("list the songs of the music library"),
            QStringLiteral("  Lists the songs of the music library, sorted by title: library URL, title,\n"
                           "  artist and length in seconds, separated by tabs (see \"Output\" in the manual).\n"),
            {QCommandLineOption({QStringLiteral("s"), QStringLiteral("search")},
                                QStringLiteral("only songs whose title or artist contains TEXT"), QStringLiteral("TEXT")),
             QCommandLineOption({QStringLiteral("d"), QStringLiteral("demo")},
                                QStringLiteral("only the demo songs that ship with the program"))},
            0,
            QStringLiteral("songs takes no arguments"),
            &SongsCommand::run};
}

int SongsCommand::run(const QCommandLineParser& line) {
    CliContext context;
    MPMediaLibrary& library = MPMediaLibrary::defaultMediaLibrary();
    library.scanNow();
    const auto items = line.isSet(QStringLiteral("search"))
                           ? library.itemsMatching(line.value(QStringLiteral("search")))
                           : library.items();
    const QString demo = QDir(MPMediaLibrary::demoFolder()).canonicalPath();
    for (const MPMediaItem& item : items) {
        if (line.isSet(QStringLiteral("demo")) && !item.filePath().startsWith(demo + QLatin1Char('/')))
            continue;
        // The picker's length: the decoded audio's.
        const double seconds = item.playbackDuration();
        CliContext::out(QStringLiteral("%1\t%2\t%3\t%4")
                            .arg(item.assetURL().toString(), CliOutput::escaped(item.title()), CliOutput::escaped(item.artist()),
                                 seconds > 0 ? QString::number(seconds, 'f', 1) : QString()));
    }
    return kExitOk;
}

} // namespace quorvel::cli
