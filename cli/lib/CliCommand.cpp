#include "CliCommand.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace quorvel::cli {

QString CliCommand::usageLine() const {
    return QStringLiteral("usage: quorvel-cli %1%2").arg(name, arguments.isEmpty() ? QString() : QLatin1Char(' ') + arguments);
}

QString CliCommand::helpText() const {
    QList<QCommandLineOption> all = options;
    all << helpOption() << verboseOption();
    return usageLine() + QLatin1Char('\n') + description + QStringLiteral("options:\n") + describeOptions(all);
}

QCommandLineOption helpOption() {
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show this help and end"));
}

QCommandLineOption versionOption() {
    return QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")},
                              QStringLiteral("show the program's version and end"));
}

QCommandLineOption verboseOption() {
    return QCommandLineOption(QStringLiteral("verbose"),
                              QStringLiteral("also write the log (the road taken, FFmpeg's warnings) to standard error"));
}

QString describeOptions(const QList<QCommandLineOption>& options) {
    QStringList left;
    for (const QCommandLineOption& option : options) {
        QStringList names;
        for (const QString& name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString text = names.join(QStringLiteral(", "));
        // A long-only option lines up with the long names of the others.
        if (option.names().front().size() > 1) text.prepend(QStringLiteral("    "));
        if (!option.valueName().isEmpty()) text += QLatin1Char(' ') + option.valueName();
        left << text;
    }
    qsizetype width = 0;
    for (const QString& text : left) width = std::max(width, text.size());
    QString out;
    for (qsizetype i = 0; i < options.size(); ++i)
        out += QStringLiteral("  %1  %2\n").arg(left[i].leftJustified(width), options[i].description());
    return out;
}

std::optional<double> numberOption(const QCommandLineParser& line, const QString& name, double fallback) {
    if (!line.isSet(name)) return fallback;
    bool ok = false;
    const double value = line.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

} // namespace quorvel::cli
