#pragma once
// quorvel's command line: "quorvel [OPTIONS] [FILE]", read before any
// application object exists, so that --help, --version and a wrong command
// line are answered without a display. Qt's own options (-platform, -style,
// -display ...) pass through to the application.
#include <QString>
#include <QStringList>
#include <optional>

namespace quorvel {

class DesktopCommandLine {
public:
    static QStringList arguments(int argc, char** argv);

    // `arguments` as the program got them (the first is the program).
    explicit DesktopCommandLine(const QStringList& arguments);

    // After --help or --version (0) or a wrong command line (2, one line on
    // standard error): the program ends with this status. What there was to
    // say has been said.
    std::optional<int> answerWithoutWindow() const;
    // The song to open (a path or a file: URL as given), or empty.
    const QString& file() const { return file_; }

    static QString helpText();

private:
    std::optional<int> status_;
    QString file_;
};

} // namespace quorvel
