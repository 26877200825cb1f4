#include "DeleteCommand.h"

#include "CliContext.h"
#include "CommandLine.h"
#include "DBHelper.h"
#include "Paths.h"

#include <QFile>
#include <QFileInfo>

namespace quorvel::cli {

const char* DeleteCommand::help() {
    return "usage: quorvel-cli delete FILE\n"
           "  Deletes a stored ringtone: its row in the store and its file. FILE is the\n"
           "  file name that `quorvel-cli list` shows (or its path in the documents folder).\n";
}

int DeleteCommand::run(const QStringList& args) {
    int exitCode = kExitOk;
    auto line = parseCommand(args, {}, help(), 1, QStringLiteral("delete takes one FILE"), &exitCode);
    if (!line) return exitCode;

    CliContext context;
    const QString name = QFileInfo(line->positional().front()).fileName();
    DBHelper& db = DBHelper::dbHelper();
    auto row = db.loadRingtoneWithNameFromDB(name);
    if (!row) return CliContext::fail(QStringLiteral("no stored ringtone is named \"%1\"").arg(name));
    const QString path = Paths::documentPath(row->file());
    if (QFileInfo(path).isFile() && !QFile::remove(path))
        return CliContext::fail(QStringLiteral("could not remove %1").arg(path));
    db.deleteRingtone(row);
    if (!db.saveContext()) return CliContext::fail(QStringLiteral("the ringtone store could not be saved"));
    return kExitOk;
}

} // namespace quorvel::cli
