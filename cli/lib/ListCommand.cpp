#include "ListCommand.h"

#include "CliContext.h"
#include "CommandLine.h"
#include "DBHelper.h"

#include <algorithm>

namespace quorvel::cli {

const char* ListCommand::help() {
    return "usage: quorvel-cli list\n"
           "  Lists the stored ringtones, newest first: file name, title-counter, artist and\n"
           "  duration in seconds, separated by tabs.\n";
}

int ListCommand::run(const QStringList& args) {
    int exitCode = kExitOk;
    auto line = parseCommand(args, {}, help(), 0, QStringLiteral("list takes no arguments"), &exitCode);
    if (!line) return exitCode;

    CliContext context;
    auto rows = DBHelper::dbHelper().loadRingtonesFromDB();
    if (!rows) return CliContext::fail(QStringLiteral("the ringtone store could not be read"));
    std::stable_sort(rows->begin(), rows->end(),
                     [](const auto& a, const auto& b) { return a->date() > b->date(); });
    for (const auto& row : *rows) {
        const auto duration = row->duration();
        CliContext::out(QStringLiteral("%1\t%2-%3\t%4\t%5")
                            .arg(row->file(), row->title())
                            .arg(row->counter().value_or(0))
                            .arg(row->artist(), duration ? QString::number(*duration) : QString()));
    }
    return kExitOk;
}

} // namespace quorvel::cli
