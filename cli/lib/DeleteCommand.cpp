#include "DeleteCommand.h"

#include "CliContext.h"
#include "CommandLine.h"
#include "DBHelper.h"
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
    QString error;
    switch (db.removeRingtone(row, &error)) {
    case DBHelper::Removal::Removed: return kExitOk;
    case DBHelper::Removal::Gone:
        return CliContext::fail(QStringLiteral("no stored ringtone is named \"%1\"").arg(name));
    case DBHelper::Removal::Failed: break;
    }
    return CliContext::fail(error);
}

} // namespace quorvel::cli
