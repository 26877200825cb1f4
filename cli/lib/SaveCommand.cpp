#include "SaveCommand.h"

#include "CliContext.h"
#include "platform/core/Paths.h"
#include "ringtones/DBHelper.h"
#include "screens/RingtoneWaysOut.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quorvel::cli {

CliCommand SaveCommand::command() {
    return {QStringLiteral("save"), QStringLiteral("FILE DEST [--format m4r|m4a|ogg]"),
            QStringLiteral("save a copy of a stored ringtone for a phone"),
            QStringLiteral("  Saves a copy of a stored ringtone (FILE as `quorvel-cli list` shows it) for a\n"
                           "  phone. DEST is a folder (the copy keeps the ringtone's name) or a file name.\n"
                           "  Without --format, DEST's extension chooses. A file already at DEST is kept:\n"
                           "  nothing is written over it. The last line printed is the copy's path.\n"),
            {QCommandLineOption({QStringLiteral("f"), QStringLiteral("format")},
                                QStringLiteral("m4r: iPhone, the stored file as it is (the default); m4a: Android and "
                                               "other phones, the same AAC bytes; ogg: Android and other phones, Opus "
                                               "(or Vorbis) with title, artist and artwork"),
                                QStringLiteral("FORMAT"))},
            2,
            QStringLiteral("save takes one FILE and one DEST"),
            &SaveCommand::run};
}

int SaveCommand::run(const QCommandLineParser& line) {
    std::optional<RingtoneCopyFormat> format;
    if (line.isSet(QStringLiteral("format"))) {
        format = RingtoneCopyWriter::formatForExtension(line.value(QStringLiteral("format")));
        if (!format) return CliContext::usage(QStringLiteral("--format is m4r, m4a or ogg"), command().usageLine());
    }
    const QStringList positional = line.positionalArguments();
    QString error;
    const std::optional<QString> file = CliContext::localPath(positional.at(0), &error);
    if (!file) return CliContext::fail(error);
    const std::optional<QString> dest = CliContext::localPath(positional.at(1), &error);
    if (!dest) return CliContext::fail(error);

    CliContext context;
    const QString name = QFileInfo(*file).fileName();
    auto row = DBHelper::dbHelper().loadRingtoneWithNameFromDB(name);
    if (!row) return CliContext::fail(QCoreApplication::translate("quorvel-cli", "no stored ringtone is named \"%1\"").arg(name));
    const QString source = Paths::documentPath(row->file());
    const QString destination = RingtoneWaysOut::copyDestination(*dest, row->file(), &format);
    if (!RingtoneCopyWriter::write(source, destination, *format, {row->title(), row->artist(), row->image()}, false,
                                   &error))
        return CliContext::fail(error);
    CliContext::out(QFileInfo(destination).absoluteFilePath());
    return kExitOk;
}

} // namespace quorvel::cli
