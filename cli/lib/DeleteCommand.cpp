#include "DeleteCommand.h"

#include "CliContext.h"
#include "CliOutput.h"
#include "ringtones/DBHelper.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quorvel::cli {

CliCommand DeleteCommand::command() {
    return {QStringLiteral("delete"), QStringLiteral("FILE"), QStringLiteral("delete a stored ringtone and its file"),
            QStringLiteral("  Deletes a stored ringtone: its row in the store and its file. FILE is the\n"
                           "  file name that `quorvel-cli list` shows (escaped as there, or not), or its\n"
                           "  path or file: URL in the documents folder.\n"),
            {},
            1,
            QStringLiteral("delete takes one FILE"),
            &DeleteCommand::run};
}

int DeleteCommand::run(const QCommandLineParser& line) {
    QString error;
    const std::optional<QString> argument = CliContext::localPath(line.positionalArguments().front(), &error);
    if (!argument) return CliContext::fail(error);
    CliContext context;
    const QString name = QFileInfo(*argument).fileName();
    DBHelper& db = DBHelper::dbHelper();
    auto row = db.loadRingtoneWithNameFromDB(name);
    // A name copied from `list`, where control characters are escaped.
    if (!row && CliOutput::unescaped(name) != name) row = db.loadRingtoneWithNameFromDB(CliOutput::unescaped(name));
    const QString notStored = QCoreApplication::translate("quorvel-cli", "no stored ringtone is named \"%1\"").arg(CliOutput::escaped(name));
    if (!row) return CliContext::fail(notStored);
    switch (db.removeRingtone(row, &error)) {
    case DBHelper::Removal::Removed: return kExitOk;
    case DBHelper::Removal::Gone: return CliContext::fail(notStored);
    case DBHelper::Removal::Failed: break;
    }
    return CliContext::fail(error);
}

} // namespace quorvel::cli
