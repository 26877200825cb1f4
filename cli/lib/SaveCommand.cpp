#include "SaveCommand.h"

#include "CliContext.h"
#include "CommandLine.h"
#include "DBHelper.h"
#include "Paths.h"
#include "RingtoneWaysOut.h"

#include <QFileInfo>

namespace quorvel::cli {

const char* SaveCommand::help() {
    return "usage: quorvel-cli save FILE DEST [--format m4r|m4a|ogg]\n"
           "  Saves a copy of a stored ringtone (FILE as `quorvel-cli list` shows it) for a\n"
           "  phone. DEST is a folder (the copy keeps the ringtone's name) or a file name.\n"
           "  --format m4r   iPhone: the stored file as it is (the default)\n"
           "  --format m4a   Android and other phones: the same AAC bytes\n"
           "  --format ogg   Android and other phones: Opus (or Vorbis) with title, artist, artwork\n"
           "  Without --format, DEST's extension chooses. A file already at DEST is kept:\n"
           "  nothing is written over it. The last line printed is the copy's path.\n";
}

int SaveCommand::run(const QStringList& args) {
    int exitCode = kExitOk;
    auto line = parseCommand(args, {{QStringLiteral("format"), true}}, help(), 2,
                             QStringLiteral("save takes one FILE and one DEST"), &exitCode);
    if (!line) return exitCode;
    std::optional<RingtoneCopyFormat> format;
    if (line->has(QStringLiteral("format"))) {
        format = RingtoneCopyWriter::formatForExtension(line->value(QStringLiteral("format")));
        if (!format)
            return CliContext::usage(QStringLiteral("--format is m4r, m4a or ogg"), QString::fromUtf8(help()));
    }

    CliContext context;
    const QString name = QFileInfo(line->positional().at(0)).fileName();
    auto row = DBHelper::dbHelper().loadRingtoneWithNameFromDB(name);
    if (!row) return CliContext::fail(QStringLiteral("no stored ringtone is named \"%1\"").arg(name));
    const QString source = Paths::documentPath(row->file());
    const QString destination = RingtoneWaysOut::copyDestination(line->positional().at(1), row->file(), &format);
    QString error;
    if (!RingtoneCopyWriter::write(source, destination, *format, {row->title(), row->artist(), row->image()}, false,
                                   &error))
        return CliContext::fail(error);
    CliContext::out(QFileInfo(destination).absoluteFilePath());
    return kExitOk;
}

} // namespace quorvel::cli
