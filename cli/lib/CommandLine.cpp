#include "CommandLine.h"

#include "CliContext.h"
#include "CliOutput.h"

#include <algorithm>

namespace quorvel::cli {

namespace {

const QString kProgramUsage = QStringLiteral("usage: quorvel-cli [OPTIONS] COMMAND [ARGS]");

QString versionLine() { return QStringLiteral("quorvel-cli %1").arg(QStringLiteral(QUORVEL_VERSION)); }

} // namespace

CommandLine::CommandLine(QList<CliCommand> commands) : commands_(std::move(commands)) {}

QString CommandLine::helpText() const {
    QString text = kProgramUsage + QStringLiteral("\nMakes, lists and deletes ringtones without a window.\ncommands:\n");
    qsizetype width = 0;
    for (const CliCommand& c : commands_) width = std::max(width, c.name.size() + 1 + c.arguments.size());
    for (const CliCommand& c : commands_)
        text += QStringLiteral("  %1  %2\n").arg((c.name + QLatin1Char(' ') + c.arguments).leftJustified(width), c.summary);
    text += QStringLiteral("options:\n") + describeOptions({helpOption(), versionOption(), verboseOption()});
    text += QStringLiteral(
        "\"quorvel-cli COMMAND --help\" describes a command. Files live in $QUORVEL_HOME (default\n"
        "~/.local/share/quorvel); the music library is read from $QUORVEL_MUSIC (colon-separated\n"
        "folders, default the music folder). Exit status: 0 done, 1 failed, 2 wrong command line.\n");
    return text;
}

int CommandLine::run(const QStringList& arguments) const {
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOptions({helpOption(), versionOption(), verboseOption()});
    parser.addPositionalArgument(QStringLiteral("command"), QString());
    if (!parser.parse(arguments)) return CliContext::usage(parser.errorText(), kProgramUsage);
    if (parser.isSet(QStringLiteral("version"))) {
        CliOutput::result(versionLine());
        return kExitOk;
    }
    QStringList rest = parser.positionalArguments();
    if (parser.isSet(QStringLiteral("help")) || (!rest.isEmpty() && rest.front() == QStringLiteral("help"))) {
        // "help COMMAND" is "COMMAND --help".
        if (rest.size() >= 2) rest = {rest[1], QStringLiteral("--help")};
        else {
            CliOutput::result(helpText().chopped(1));
            return kExitOk;
        }
    }
    if (rest.isEmpty()) return CliContext::usage(QStringLiteral("no command given"), kProgramUsage);
    const auto command = std::find_if(commands_.begin(), commands_.end(),
                                      [&](const CliCommand& c) { return c.name == rest.front(); });
    if (command == commands_.end())
        return CliContext::usage(QStringLiteral("unknown command \"%1\"").arg(rest.front()), kProgramUsage);
    return runCommand(*command, QStringList{arguments.value(0)} + rest.mid(1), parser.isSet(QStringLiteral("verbose")));
}

int CommandLine::runCommand(const CliCommand& command, const QStringList& arguments, bool verbose) const {
    QCommandLineParser parser;
    parser.addOptions(command.options);
    parser.addOptions({helpOption(), versionOption(), verboseOption()});
    if (!parser.parse(arguments)) return CliContext::usage(parser.errorText(), command.usageLine());
    if (parser.isSet(QStringLiteral("help"))) {
        CliOutput::result(command.helpText().chopped(1));
        return kExitOk;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        CliOutput::result(versionLine());
        return kExitOk;
    }
    if (parser.positionalArguments().size() != command.positionalCount)
        return CliContext::usage(command.positionalError, command.usageLine());
    CliOutput::setUp(verbose || parser.isSet(QStringLiteral("verbose")));
    return command.run(parser);
}

} // namespace quorvel::cli
