#pragma once
// A 16-bit PCM WAV file written as it is recorded. The header goes first and
// its lengths are brought up to date by updateHeader() (the recorder calls it
// every half second) and by close(), so the file opens as a valid WAV at any
// moment, including after a crash.
//
// Thread safety: one thread at a time.
#include <QFile>
#include <QString>
#include <cstdint>

namespace quorvel {

class WavRecordingFile {
public:
    // The largest data chunk a WAV header can describe.
    static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

    WavRecordingFile() = default;
    ~WavRecordingFile();
    WavRecordingFile(const WavRecordingFile&) = delete;
    WavRecordingFile& operator=(const WavRecordingFile&) = delete;

    // Creates (or replaces) the file and writes a header for no data.
    bool create(const QString& path, int sampleRate, int channels);
    bool append(const int16_t* samples, size_t count);
    // Writes the current lengths into the header and hands the data to the system.
    bool updateHeader();
    bool close();

    uint64_t dataBytes() const { return dataBytes_; }
    QString errorString() const { return file_.errorString(); }

private:
    QFile file_;
    uint64_t dataBytes_ = 0;
};

} // namespace quorvel
