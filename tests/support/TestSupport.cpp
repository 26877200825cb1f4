#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cmath>
#include <limits>

namespace quorvel::test {

TempHome::TempHome() : previous_(qgetenv("QUORVEL_HOME")), hadPrevious_(qEnvironmentVariableIsSet("QUORVEL_HOME")) {
    qputenv("QUORVEL_HOME", dir_.path().toUtf8());
}

TempHome::~TempHome() {
    if (hadPrevious_)
        qputenv("QUORVEL_HOME", previous_);
    else
        qunsetenv("QUORVEL_HOME");
}

QString TempHome::documents() const {
    QDir().mkpath(dir_.path() + QStringLiteral("/Documents"));
    return dir_.path() + QStringLiteral("/Documents");
}

ToolResult runTool(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    ToolResult r;
    if (!p.waitForStarted(10000)) return r;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

bool haveTool(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

bool writeWav16(const QString& path, const std::vector<int16_t>& samples, int sampleRate, int channels) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    auto le32 = [&](uint32_t v) {
        char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        f.write(b, 4);
    };
    auto le16 = [&](uint16_t v) {
        char b[2] = {char(v), char(v >> 8)};
        f.write(b, 2);
    };
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    f.write("RIFF", 4);
    le32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    le32(16);
    le16(1);
    le16(uint16_t(channels));
    le32(uint32_t(sampleRate));
    le32(uint32_t(sampleRate * channels * 2));
    le16(uint16_t(channels * 2));
    le16(16);
    f.write("data", 4);
    le32(dataBytes);
    for (int16_t s : samples) le16(uint16_t(s));
    return f.error() == QFile::NoError;
}

std::vector<int16_t> sine(double hz, double seconds, int sampleRate, double amplitude) {
    const size_t n = size_t(std::llround(seconds * sampleRate));
    std::vector<int16_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = int16_t(std::lrint(amplitude * 32767.0 * std::sin(2.0 * M_PI * hz * double(i) / sampleRate)));
    return out;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

double probeDuration(const QString& path) {
    ToolResult r = runTool(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                       QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                                                       QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    bool ok = false;
    double d = r.out.trimmed().toDouble(&ok);
    return (r.exitCode == 0 && ok) ? d : std::numeric_limits<double>::quiet_NaN();
}

QString probeStreamField(const QString& path, const QString& field) {
    ToolResult r = runTool(QStringLiteral("ffprobe"),
                           {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                            QStringLiteral("a:0"), QStringLiteral("-show_entries"), QStringLiteral("stream=") + field,
                            QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    return r.exitCode == 0 ? r.out.trimmed() : QString();
}

} // namespace quorvel::test
