#pragma once
// Shared test helpers. Nothing here stands in for the system under test.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

class QProcess;

namespace quorvel::test {

// Points QUORVEL_HOME at a fresh temporary folder for the fixture's life.
class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return dir_.path(); }
    QString documents() const;

private:
    QTemporaryDir dir_;
    QByteArray previous_;
    bool hadPrevious_;
};

struct ToolResult {
    int exitCode = -1;
    QString out;
    QString err;
    // The last line written to standard output.
    QString lastLine() const;
};

// Runs an independent tool (ffprobe, sox, sqlite3 ...), or one of our
// programs in `environment`, and waits for it. `childSetup` runs in the child
// before the program starts (resource limits, signal dispositions).
ToolResult runTool(const QString& program, const QStringList& args, int timeoutMs = 120000,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                   const std::function<void()>& childSetup = {});
// The environment of a run of the command-line program on the application
// home `home` and the music folder `music`; without `hardwareAac` it behaves
// as a machine without a hardware AAC encoder.
QProcessEnvironment cliEnvironment(const QString& home, const QString& music, bool hardwareAac = true);
bool haveTool(const QString& program);

// Writes a 16-bit PCM WAV file of `samples` (interleaved when channels > 1).
bool writeWav16(const QString& path, const std::vector<int16_t>& samples, int sampleRate, int channels);
// A sine of `hz` at `amplitude` (0..1) lasting `seconds`, 16-bit mono.
std::vector<int16_t> sine(double hz, double seconds, int sampleRate = 44100, double amplitude = 0.5);

// Another process (this test program, started again) that holds the lock
// file `fileName` in the documents folder of the current QUORVEL_HOME, as
// another program on the same folder would. Killed with SIGKILL when
// destroyed or by kill(): the kernel then frees the lock.
class LockHolder {
public:
    explicit LockHolder(const QString& fileName);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    // False when the lock was held by someone else already.
    bool isHolding() const { return holding_; }
    void kill();

private:
    std::unique_ptr<QProcess> process_;
    bool holding_ = false;
};
// Called first by every test program's main: when the program was started as
// a LockHolder, holds the lock until killed and never returns.
void runAsLockHolderIfAsked();

// Pumps the Qt event loop until `done` returns true or the timeout passes.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 30000);

// Duration of a media file in seconds as ffprobe reads it (NaN on failure).
double probeDuration(const QString& path);
// The first audio stream as ffmpeg decodes it, mixed to mono at 44,100 Hz
// (empty on failure), and its length in seconds (NaN on failure).
std::vector<float> decodedMono(const QString& path);
double decodedSeconds(const QString& path);
// One stream field (codec_name, sample_rate, channels, profile ...) of the first audio stream.
QString probeStreamField(const QString& path, const QString& field);

} // namespace quorvel::test
