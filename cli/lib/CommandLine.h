#pragma once
// Parses "COMMAND [ARGS] [--option VALUE] [--flag]" for quorvel-cli.
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace quorvel::cli {

struct OptionSpec {
    QString name;    // without the leading dashes
    bool takesValue; // --name VALUE or --name=VALUE
};

class CommandLine {
  public:
    // Returns nothing and sets `error` on unknown options or missing values.
    static std::optional<CommandLine> parse(const QStringList& args, const QList<OptionSpec>& options,
                                            QString* error);

    const QStringList& positional() const { return positional_; }
    bool has(const QString& option) const { return values_.contains(option); }
    QString value(const QString& option) const { return values_.value(option); }
    // The option as a number; `ok` is false when it is present but not a finite number.
    double number(const QString& option, double fallback, bool* ok) const;

  private:
    QStringList positional_;
    QMap<QString, QString> values_;
};

} // namespace quorvel::cli
