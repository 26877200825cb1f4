#pragma once
// Shared test helpers. Nothing here stands in for the system under test.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <vector>

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
};

// Runs an independent tool (ffprobe, sox, sqlite3 ...) and waits for it.
ToolResult runTool(const QString& program, const QStringList& args, int timeoutMs = 120000);
bool haveTool(const QString& program);

// Writes a 16-bit PCM WAV file of `samples` (interleaved when channels > 1).
bool writeWav16(const QString& path, const std::vector<int16_t>& samples, int sampleRate, int channels);
// A sine of `hz` at `amplitude` (0..1) lasting `seconds`, 16-bit mono.
std::vector<int16_t> sine(double hz, double seconds, int sampleRate = 44100, double amplitude = 0.5);

// Pumps the Qt event loop until `done` returns true or the timeout passes.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 30000);

// Duration of a media file in seconds as ffprobe reads it (NaN on failure).
double probeDuration(const QString& path);
// One stream field (codec_name, sample_rate, channels, profile ...) of the first audio stream.
QString probeStreamField(const QString& path, const QString& field);

} // namespace quorvel::test
