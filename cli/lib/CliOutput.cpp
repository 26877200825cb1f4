#include "CliOutput.h"

#include "app/QuorvelAppDelegate.h"
#include "platform/core/Log.h"

#include <QStringList>
#include <cstdio>
#include <mutex>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel::cli {

namespace {

FILE* results = stdout;

// Without --verbose the log's last lines are kept, for a failure that ends
// the program before it can say a sentence of its own.
constexpr qsizetype kKeptLogLines = 20;
std::mutex keptMutex;
QStringList keptLog;

void keepLogLine(const QString& line) {
    std::lock_guard lock(keptMutex);
    keptLog << line;
    if (keptLog.size() > kKeptLogLines) keptLog.removeFirst();
}

void showKeptLog() {
    std::lock_guard lock(keptMutex);
    for (const QString& line : keptLog) std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace

void CliOutput::setUp(bool verbose) {
    std::fflush(stdout);
    // Results keep the real standard output; what the libraries print there
    // joins the log on standard error, or goes nowhere.
    if (const int saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3); saved >= 0) {
        if (FILE* stream = fdopen(saved, "w")) results = stream;
        else close(saved);
    }
    if (results == stdout) return;
    if (verbose) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        // FFmpeg's warnings as well as its errors.
        qputenv("QUORVEL_FFMPEG_LOG", "1");
        return;
    }
    if (const int null = open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    setLogSink(keepLogLine);
    QuorvelAppDelegate::setFatalHandler(showKeptLog);
}

void CliOutput::result(const QString& line) {
    std::fprintf(results, "%s\n", line.toUtf8().constData());
    std::fflush(results);
}

void CliOutput::message(const QString& line) {
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

QString CliOutput::escaped(const QString& field) {
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else out += c;
        }
    }
    return out;
}

QString CliOutput::unescaped(const QString& field) {
    QString out;
    out.reserve(field.size());
    qsizetype i = 0;
    while (i < field.size()) {
        const QChar c = field[i];
        const QChar next = i + 1 < field.size() ? field[i + 1] : QChar();
        if (c == QLatin1Char('\\') && next == QLatin1Char('x')) {
            bool ok = false;
            const QString hex = field.mid(i + 2, 2);
            const int code = hex.toInt(&ok, 16);
            if (ok && hex.size() == 2) {
                out += QChar(code);
                i += 4;
                continue;
            }
        }
        QChar plain;
        if (c == QLatin1Char('\\')) {
            switch (next.unicode()) {
            case '\\': plain = QLatin1Char('\\'); break;
            case 't': plain = QLatin1Char('\t'); break;
            case 'n': plain = QLatin1Char('\n'); break;
            case 'r': plain = QLatin1Char('\r'); break;
            default: break;
            }
        }
        if (!plain.isNull()) {
            out += plain;
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

} // namespace quorvel::cli
