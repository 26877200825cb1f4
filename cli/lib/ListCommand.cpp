#include "ListCommand.h"

#include "CliContext.h"
#include "CliOutput.h"
#include "ringtones/DBHelper.h"

#include <QCoreApplication>
#include <algorithm>

namespace quorvel::cli {

CliCommand ListCommand::command() {
    return {QStringLiteral("list"), QString(), QStringLiteral("list the stored ringtones, newest first"),
            QStringLiteral("  Lists the stored ringtones, newest first: file name, title-counter, artist and\n"
                           "  duration in seconds, separated by tabs.\n"),
            {},
            0,
            QStringLiteral("list takes no arguments"),
            &ListCommand::run};
}

int ListCommand::run(const QCommandLineParser&) {
    CliContext context;
    auto rows = DBHelper::dbHelper().loadRingtonesFromDB();
    if (!rows) return CliContext::fail(QCoreApplication::translate("quorvel-cli", "the ringtone store could not be read"));
    std::stable_sort(rows->begin(), rows->end(),
                     [](const auto& a, const auto& b) { return a->date() > b->date(); });
    for (const auto& row : *rows) {
        const auto duration = row->duration();
        const QString title = QStringLiteral("%1-%2").arg(row->title()).arg(row->counter().value_or(0));
        CliContext::out(QStringLiteral("%1\t%2\t%3\t%4")
                            .arg(CliOutput::escaped(row->file()), CliOutput::escaped(title), CliOutput::escaped(row->artist()),
                                 duration ? QString::number(*duration) : QString()));
    }
    return kExitOk;
}

} // namespace quorvel::cli
