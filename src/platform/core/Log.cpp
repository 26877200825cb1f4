#include "platform/core/Log.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace quorvel {

namespace {
std::mutex logMutex;
LogSink currentSink = nullptr;
} // namespace

QString describe(const QString& s) { return s; }
QString describe(const std::string& s) { return QString::fromStdString(s); }
QString describe(const char* s) { return s ? QString::fromUtf8(s) : QStringLiteral("(null)"); }
QString describe(const QUrl& url) {
    return url.isEmpty() ? QStringLiteral("(null)") : url.toString(QUrl::FullyEncoded);
}

QString formatString(const char* format, const std::vector<LogArg>& args) {
    QString out;
    size_t next = 0;
    const char* c = format;
    while (*c) {
        if (*c != '%') {
            const char* start = c;
            while (*c && *c != '%') ++c;
            out += QString::fromUtf8(start, int(c - start));
            continue;
        }
        if (c[1] == '%') {
            out += QLatin1Char('%');
            c += 2;
            continue;
        }
        // Collect one conversion: flags, width, precision, length, type.
        const char* start = c++;
        while (*c && std::strchr("-+ #0123456789.", *c)) ++c;
        while (*c && std::strchr("hlLqjzt", *c)) ++c;
        const char type = *c ? *c++ : '\0';
        std::string conversion(start, size_t(c - start));
        if (next >= args.size()) {
            out += QString::fromStdString(conversion);
            continue;
        }
        const LogArg& a = args[next++];
        if (type == '@') {
            out += a.text;
            continue;
        }
        // Rebuild the conversion with a length modifier that matches the value we hold.
        std::string flags = conversion.substr(0, conversion.size() - 1);
        while (!flags.empty() && std::strchr("hlLqjzt", flags.back())) flags.pop_back();
        char buf[512];
        switch (type) {
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'c': {
            long long v = a.kind == LogArg::Kind::UInt ? (long long)a.u
                        : a.kind == LogArg::Kind::Double ? (long long)a.d : a.i;
            std::snprintf(buf, sizeof buf, (flags + "ll" + type).c_str(), v);
            out += QString::fromUtf8(buf);
            break;
        }
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': {
            double v = a.kind == LogArg::Kind::Double ? a.d
                     : a.kind == LogArg::Kind::UInt ? double(a.u) : double(a.i);
            std::snprintf(buf, sizeof buf, (flags + type).c_str(), v);
            out += QString::fromUtf8(buf);
            break;
        }
        case 's': {
            QByteArray utf8 = a.text.toUtf8();
            std::snprintf(buf, sizeof buf, (flags + 's').c_str(), utf8.constData());
            out += QString::fromUtf8(buf);
            break;
        }
        case 'p':
            std::snprintf(buf, sizeof buf, "%p", a.p);
            out += QString::fromUtf8(buf);
            break;
        default:
            out += a.text;
        }
    }
    return out;
}

void writeLogLine(const QString& line) {
    std::lock_guard lock(logMutex);
    if (currentSink) {
        currentSink(line);
        return;
    }
    QByteArray utf8 = line.toUtf8();
    std::fprintf(stderr, "%s\n", utf8.constData());
    std::fflush(stderr);
}

void setLogSink(LogSink sink) {
    std::lock_guard lock(logMutex);
    currentSink = sink;
}

} // namespace quorvel
