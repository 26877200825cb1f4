#include "SongsCommand.h"

#include "CliContext.h"
#include "CommandLine.h"
#include "MPMediaLibrary.h"

#include <QDir>

namespace quorvel::cli {

const char* SongsCommand::help() {
    return "usage: quorvel-cli songs [--search TEXT] [--demo]\n"
           "  Lists the songs of the music library, sorted by title: library URL, title,\n"
           "  artist and length in seconds, separated by tabs.\n"
           "  --search TEXT  only songs whose title or artist contains TEXT\n"
           "  --demo         only the demo songs that ship with the program\n";
}

int SongsCommand::run(const QStringList& args) {
    int exitCode = kExitOk;
    auto line = parseCommand(args, {{QStringLiteral("search"), true}, {QStringLiteral("demo"), false}},
                             help(), 0, QStringLiteral("songs takes no arguments"), &exitCode);
    if (!line) return exitCode;

    CliContext context;
    MPMediaLibrary& library = MPMediaLibrary::defaultMediaLibrary();
    library.scanNow();
    const auto items = line->has(QStringLiteral("search"))
                           ? library.itemsMatching(line->value(QStringLiteral("search")))
                           : library.items();
    const QString demo = QDir(MPMediaLibrary::demoFolder()).canonicalPath();
    for (const MPMediaItem& item : items) {
        if (line->has(QStringLiteral("demo")) && !item.filePath().startsWith(demo + QLatin1Char('/')))
            continue;
        // The picker's length: the decoded audio's.
        const double seconds = item.playbackDuration();
        CliContext::out(QStringLiteral("%1\t%2\t%3\t%4")
                            .arg(item.assetURL().toString(), item.title(), item.artist(),
                                 seconds > 0 ? QString::number(seconds, 'f', 1) : QString()));
    }
    return kExitOk;
}

} // namespace quorvel::cli
