// quorvel-cli: makes, lists and deletes ringtones without a window, through
// the same classes and the same store as the desktop program.
#include "CliContext.h"
#include "DeleteCommand.h"
#include "EncodeCommand.h"
#include "ListCommand.h"
#include "MakeCommand.h"
#include "SongsCommand.h"
#include "TerminationSignals.h"
#include "WorkerThreads.h"

#include <QCoreApplication>
#include <cstdio>

using namespace quorvel::cli;

namespace {
const char* kHelp = "usage: quorvel-cli COMMAND [ARGS]\n"
                    "  songs [--search TEXT]   list the songs of the music library\n"
                    "  make SOURCE [OPTIONS]   make and store a ringtone (see make --help)\n"
                    "  encode WAV OUTPUT       encode a mono 44,100 Hz WAV as a ringtone file\n"
                    "  list                    list the stored ringtones, newest first\n"
                    "  delete FILE             delete a stored ringtone and its file\n"
                    "  COMMAND --help          help for one command\n"
                    "Files live in $QUORVEL_HOME (default ~/.local/share/quorvel); the music library\n"
                    "is read from $QUORVEL_MUSIC (colon-separated folders, default the music folder).\n";

int runCommand(const QCoreApplication& app) {
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return CliContext::usage(QStringLiteral("no command given"), QString::fromUtf8(kHelp));
    const QString command = args.takeFirst();
    if (command == QStringLiteral("--help") || command == QStringLiteral("help")) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (command == QStringLiteral("songs")) return SongsCommand::run(args);
    if (command == QStringLiteral("make")) return MakeCommand::run(args);
    if (command == QStringLiteral("encode")) return EncodeCommand::run(args);
    if (command == QStringLiteral("list")) return ListCommand::run(args);
    if (command == QStringLiteral("delete")) return DeleteCommand::run(args);
    return CliContext::usage(QStringLiteral("unknown command \"%1\"").arg(command), QString::fromUtf8(kHelp));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Ctrl+C and SIGTERM stop the running command cleanly (see MakeCommand).
    quorvel::TerminationSignals::install([] { QCoreApplication::exit(); });
    const int exitCode = runCommand(app);
    // Every worker ends while the application object they post to still exists.
    quorvel::WorkerThreads::joinAll();
    return exitCode;
}
