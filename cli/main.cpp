// quorvel-cli: makes, lists and deletes ringtones without a window, through
// the same classes and the same store as the desktop program.
#include "CommandLine.h"
#include "DeleteCommand.h"
#include "EncodeCommand.h"
#include "ListCommand.h"
#include "MakeCommand.h"
#include "SaveCommand.h"
#include "SongsCommand.h"
#include "platform/core/TerminationSignals.h"
#include "platform/core/WorkerThreads.h"
#include "platform/translations/Translations.h"

#include <QCoreApplication>

using namespace quorvel::cli;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Messages in the locale's language; results on standard output stay as they are.
    quorvel::Translations::install();
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    // Ctrl+C and SIGTERM stop the running command cleanly (see MakeCommand).
    quorvel::TerminationSignals::install([] { QCoreApplication::exit(); });
    const CommandLine commandLine({SongsCommand::command(), MakeCommand::command(), EncodeCommand::command(),
                                   ListCommand::command(), DeleteCommand::command(), SaveCommand::command()});
    const int exitCode = commandLine.run(app.arguments());
    // Every worker ends while the application object they post to still exists.
    quorvel::WorkerThreads::joinAll();
    return exitCode;
}
