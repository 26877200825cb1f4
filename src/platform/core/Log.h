#pragma once
// Logging in the system's own words. Formats are printf-style; "%@" takes any
// argument and prints its description (see describe()). Lines go to standard
// error, one per call, under a lock so that threads never interleave.
#include <QString>
#include <QUrl>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace quorvel {

// One formatted argument. Numbers keep their kind so that %d, %ld, %f and %@
// all print what the format expects.
struct LogArg {
    enum class Kind { Int, UInt, Double, Text, Pointer } kind = Kind::Text;
    long long i = 0;
    unsigned long long u = 0;
    double d = 0;
    QString text;
    const void* p = nullptr;
};

QString describe(const QString& s);
QString describe(const std::string& s);
QString describe(const char* s);
QString describe(const QUrl& url);

template <class T> LogArg makeLogArg(const T& value) {
    LogArg a;
    if constexpr (std::is_same_v<T, bool>) {
        a.kind = LogArg::Kind::Int;
        a.i = value ? 1 : 0;
        a.text = value ? QStringLiteral("YES") : QStringLiteral("NO");
    } else if constexpr (std::is_enum_v<T>) {
        a.kind = LogArg::Kind::Int;
        a.i = static_cast<long long>(value);
        a.text = QString::number(a.i);
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        a.kind = LogArg::Kind::Int;
        a.i = value;
        a.text = QString::number(a.i);
    } else if constexpr (std::is_integral_v<T>) {
        a.kind = LogArg::Kind::UInt;
        a.u = value;
        a.text = QString::number(a.u);
    } else if constexpr (std::is_floating_point_v<T>) {
        a.kind = LogArg::Kind::Double;
        a.d = value;
        a.text = QString::number(a.d);
    } else if constexpr (std::is_pointer_v<T> && !std::is_convertible_v<T, const char*>) {
        a.kind = LogArg::Kind::Pointer;
        a.p = value;
        a.text = value ? describe(*value) : QStringLiteral("(null)");
    } else {
        a.kind = LogArg::Kind::Text;
        a.text = describe(value);
    }
    return a;
}

// Formats like the platform's string formatting: %@ for descriptions, and the
// usual printf conversions for numbers and C strings.
QString formatString(const char* format, const std::vector<LogArg>& args);

void writeLogLine(const QString& line);

template <class... A> QString stringWithFormat(const char* format, const A&... args) {
    return formatString(format, std::vector<LogArg>{makeLogArg(args)...});
}

template <class... A> void NSLog(const char* format, const A&... args) {
    writeLogLine(stringWithFormat(format, args...));
}

// Redirects log lines (tests read them). Passing nullptr restores standard error.
using LogSink = void (*)(const QString& line);
void setLogSink(LogSink sink);

} // namespace quorvel
