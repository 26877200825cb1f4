#include "TestSupport.h"

#include "platform/core/DocumentsLock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

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

QString ToolResult::lastLine() const {
    const QStringList lines = out.trimmed().split(QLatin1Char('\n'));
    return lines.isEmpty() ? QString() : lines.last();
}

ToolResult runTool(const QString& program, const QStringList& args, int timeoutMs,
                   const QProcessEnvironment& environment, const std::function<void()>& childSetup) {
    QProcess p;
    p.setProcessEnvironment(environment);
    if (childSetup) p.setChildProcessModifier(childSetup);
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

QProcessEnvironment cliEnvironment(const QString& home, const QString& music, bool hardwareAac) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_HOME"), home);
    env.insert(QStringLiteral("QUORVEL_MUSIC"), music);
    if (hardwareAac) env.remove(QStringLiteral("QUORVEL_NO_HARDWARE_AAC"));
    else env.insert(QStringLiteral("QUORVEL_NO_HARDWARE_AAC"), QStringLiteral("1"));
    return env;
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

namespace {
const char* kHoldLockVariable = "QUORVEL_TEST_HOLD_LOCK";
}

LockHolder::LockHolder(const QString& fileName) : process_(std::make_unique<QProcess>()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kHoldLockVariable), fileName);
    process_->setProcessEnvironment(env);
    process_->start(QCoreApplication::applicationFilePath(), {});
    // One line: "held", or "busy" when someone else has it.
    if (!process_->waitForStarted()) return;
    while (!process_->canReadLine() && process_->state() == QProcess::Running) process_->waitForReadyRead(100);
    holding_ = process_->readLine().trimmed() == "held";
}

LockHolder::~LockHolder() { kill(); }

void LockHolder::kill() {
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished();
    }
    holding_ = false;
}

void runAsLockHolderIfAsked() {
    const QByteArray name = qgetenv(kHoldLockVariable);
    if (name.isEmpty()) return;
    // Dies with the test that started it (a death test's child ends without
    // destructors), and keeps none of its descriptors: a test waiting for a
    // pipe to close must not wait for this process too.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) std::_Exit(1);
    for (int fd = 3, last = int(::sysconf(_SC_OPEN_MAX)); fd < last && fd < 65536; ++fd) ::close(fd);
    DocumentsLock lock(QString::fromUtf8(name));
    const bool held = lock.tryLock() == DocumentsLock::Result::Locked;
    std::fputs(held ? "held\n" : "busy\n", stdout);
    std::fflush(stdout);
    if (!held) std::_Exit(1);
    for (;;) ::pause();
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

std::vector<float> decodedMono(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                       QStringLiteral("-map"), QStringLiteral("0:a:0"), QStringLiteral("-ac"), QStringLiteral("1"),
                                       QStringLiteral("-ar"), QStringLiteral("44100"), QStringLiteral("-f"), QStringLiteral("f32le"),
                                       QStringLiteral("-")});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    const QByteArray bytes = p.readAllStandardOutput();
    std::vector<float> samples(size_t(bytes.size()) / sizeof(float));
    // No audio at all (exit 0, nothing written): an empty vector has no data to copy into.
    if (!samples.empty()) std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

double decodedSeconds(const QString& path) {
    const std::vector<float> samples = decodedMono(path);
    return samples.empty() ? std::numeric_limits<double>::quiet_NaN() : double(samples.size()) / 44100.0;
}

QString probeStreamField(const QString& path, const QString& field) {
    ToolResult r = runTool(QStringLiteral("ffprobe"),
                           {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                            QStringLiteral("a:0"), QStringLiteral("-show_entries"), QStringLiteral("stream=") + field,
                            QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    return r.exitCode == 0 ? r.out.trimmed() : QString();
}

} // namespace quorvel::test
