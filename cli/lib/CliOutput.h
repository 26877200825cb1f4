#pragma once
// Where quorvel-cli writes. Standard output carries results only (one record
// a line); the program's own sentences go to standard error. What the
// libraries write (the log, FFmpeg's messages, the writers' diagnostics on
// standard output) reaches standard error with --verbose; without it, only
// when a fatal failure (a store that cannot be read) ends the program.
//
// Results are escaped so that every record stays one line and every field
// one field: a backslash, tab, newline, carriage return or other control
// character in a title or file name is written as \\, \t, \n, \r or \xHH.
#include <QString>

namespace quorvel::cli {

class CliOutput {
  public:
    // Once, before any command runs.
    static void setUp(bool verbose);

    static void result(const QString& line); // one line on standard output
    static void message(const QString& line); // one line on standard error

    static QString escaped(const QString& field);
    // The inverse of escaped(); text that is not a valid escape is kept as it is.
    static QString unescaped(const QString& field);
};

} // namespace quorvel::cli
