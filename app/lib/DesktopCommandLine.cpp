#include "DesktopCommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QUrl>
#include <cstdio>

namespace quorvel {

namespace {

const char* const kUsage = "usage: quorvel [OPTIONS] [FILE]";

// Qt's options for every program (QGuiApplication, QApplication, the xcb
// platform): accepted here and handed on.
QList<QCommandLineOption> qtOptions() {
    QList<QCommandLineOption> options;
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                             "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet",
                             "name", "title", "visual"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        options << option;
    }
    for (const char* name : {"reverse", "nograb", "dograb", "sync", "widgetcount", "testability"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        options << option;
    }
    return options;
}

void printLine(FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

} // namespace

QStringList DesktopCommandLine::arguments(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
    return list;
}

QString DesktopCommandLine::helpText() {
    return QStringLiteral(
               "%1\n"
               "Quorvel makes ringtones: pick a song or record one, choose a segment, fades,\n"
               "speed and pitch, and export it as an .m4r ringtone. This opens its window.\n"
               "  FILE           a song (or a file: URL) to open in the editor\n"
               "options:\n"
               "  -h, --help     show this help and end\n"
               "  -v, --version  show the program's version and end\n"
               "Qt's own options (-platform NAME, -style NAME, -display DISPLAY ...) are taken too.\n"
               "Without a display, quorvel-cli makes, lists and deletes ringtones (quorvel-cli --help).")
        .arg(QString::fromLatin1(kUsage));
}

DesktopCommandLine::DesktopCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-platform xcb" is one of Qt's options, not "-p -l -a ...".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOptions({help, version});
    parser.addOptions(qtOptions());
    const auto wrong = [this](const QString& what) {
        QString text = what;
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
        printLine(stderr, QStringLiteral("quorvel: %1 (%2; see --help)").arg(text, QString::fromLatin1(kUsage)));
        status_ = 2;
    };
    if (!parser.parse(arguments)) {
        wrong(parser.errorText());
        return;
    }
    if (parser.isSet(help)) {
        printLine(stdout, helpText());
        status_ = 0;
        return;
    }
    if (parser.isSet(version)) {
        printLine(stdout, QStringLiteral("quorvel %1").arg(QStringLiteral(QUORVEL_VERSION)));
        status_ = 0;
        return;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        wrong(QStringLiteral("one FILE at most"));
        return;
    }
    if (files.isEmpty()) return;
    file_ = files.front();
    if (file_.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        const QUrl url(file_);
        if (url.isLocalFile()) file_ = url.toLocalFile();
    }
}

std::optional<int> DesktopCommandLine::answerWithoutWindow() const { return status_; }

} // namespace quorvel
