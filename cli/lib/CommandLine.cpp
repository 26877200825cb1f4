#include "CommandLine.h"

#include <algorithm>
#include <cmath>

namespace quorvel::cli {

std::optional<CommandLine> CommandLine::parse(const QStringList& args, const QList<OptionSpec>& options,
                                              QString* error) {
    CommandLine line;
    bool onlyPositional = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyPositional || !arg.startsWith(QStringLiteral("--")) || arg == QStringLiteral("-")) {
            line.positional_ << arg;
            continue;
        }
        if (arg == QStringLiteral("--")) {
            onlyPositional = true;
            continue;
        }
        QString name = arg.mid(2);
        QString value;
        bool inlineValue = false;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            inlineValue = true;
        }
        const auto option =
            std::find_if(options.begin(), options.end(), [&](const OptionSpec& s) { return s.name == name; });
        if (option == options.end()) {
            *error = QStringLiteral("unknown option --%1").arg(name);
            return std::nullopt;
        }
        if (option->takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("option --%1 needs a value").arg(name);
                return std::nullopt;
            }
            value = args[++i];
        } else if (!option->takesValue && inlineValue) {
            *error = QStringLiteral("option --%1 takes no value").arg(name);
            return std::nullopt;
        }
        line.values_.insert(name, value);
    }
    return line;
}

double CommandLine::number(const QString& option, double fallback, bool* ok) const {
    *ok = true;
    if (!values_.contains(option)) return fallback;
    const double v = values_.value(option).toDouble(ok);
    if (!*ok || !std::isfinite(v)) {
        *ok = false;
        return fallback;
    }
    return v;
}

} // namespace quorvel::cli
