#pragma once
// One command of quorvel-cli: its name, what it takes, its options and the
// function that runs it. The help texts are made from these, so an option
// is described in one place.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quorvel::cli {

struct CliCommand {
    QString name;                      // "make"
    QString arguments;                 // "SOURCE [OPTIONS]", as the usage line shows them
    QString summary;                   // one line for the program's help
    QString description;               // the command's help, before its options
    QList<QCommandLineOption> options; // besides --help, --version and --verbose
    qsizetype positionalCount = 0;
    QString positionalError;           // said when the count is wrong
    int (*run)(const QCommandLineParser& line) = nullptr;

    QString usageLine() const;         // "usage: quorvel-cli make SOURCE [OPTIONS]"
    QString helpText() const;
};

// The options every command takes.
QCommandLineOption helpOption();
QCommandLineOption versionOption();
QCommandLineOption verboseOption();

// "  -s, --start S    start of the segment ..." lines, aligned.
QString describeOptions(const QList<QCommandLineOption>& options);

// The option's value as a finite number: `fallback` when it is absent,
// nothing when it is there but not a number.
std::optional<double> numberOption(const QCommandLineParser& line, const QString& name, double fallback);

} // namespace quorvel::cli
