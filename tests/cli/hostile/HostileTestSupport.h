#pragma once
// What the hostile-input tests share: where the corpus lives, reading a file
// to its end through each reader, and snapshots of the documents directory
// and the store.
#include "TestSupport.h"
#include "pipeline/EAFRead.h"
#include "pipeline/WavReader.h"
#include "platform/core/DocumentsLock.h"
#include "platform/core/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvel::test {

inline QString hostileCorpusDir() {
    return QStringLiteral(QUORVEL_TEST_DATA_DIR "/hostile");
}

// A corpus file name as a test name: letters and digits only.
inline std::string testName(const QString& fileName) {
    std::string out;
    for (const QChar c : fileName) out += c.isLetterOrNumber() ? char(c.toLatin1()) : '_';
    return out;
}

struct ReadResult {
    bool opened = false;
    int status = 0;       // the open's status (EAFRead)
    bool ended = false;   // reading came to an end within the bound
    qint64 bytesRead = 0; // samples x sample width (WAV reader)
    qint64 frames = 0;    // frames delivered (EAFRead)
};

// wav_open_read, then wav_read_float32 to the end, with a reversing channel map when `mapped`.
inline ReadResult readWithWavReader(const QString& path, bool mapped) {
    ReadResult r;
    wav_file* wav = wav_open_read(QFile::encodeName(path).constData());
    if (!wav) {
        r.ended = true;
        return r;
    }
    r.opened = true;
    std::vector<int> map(size_t(wav->channels));
    for (int j = 0; j < wav->channels; ++j) map[size_t(j)] = wav->channels - 1 - j;
    std::vector<float> buffer(4099);
    for (int reads = 0; reads < 100000; ++reads) {
        const int n = wav_read_float32(wav, buffer.data(), unsigned(buffer.size()), mapped ? map.data() : nullptr);
        EXPECT_GE(n, 0);
        EXPECT_LE(n, int(buffer.size()));
        if (n <= 0) {
            r.ended = true;
            break;
        }
        r.bytesRead += qint64(n) * wav->sample_bytes;
    }
    EXPECT_EQ(wav_close(wav), 0);
    return r;
}

// EAFRead as the effects run uses it (44,100 Hz mono), read to the end.
inline ReadResult readToTheEnd(const QString& path) {
    ReadResult r;
    EAFRead reader;
    r.status = reader.openFileForRead(QUrl::fromLocalFile(path), 44100, 1);
    r.opened = r.status == 0;
    if (!r.opened) {
        r.ended = true;
        return r;
    }
    EXPECT_GE(reader.fileNumFrames(), 0);
    std::vector<float> samples(8192);
    float* audio[1] = {samples.data()};
    // More than an hour of audio from a small file would mean the end never came.
    for (int reads = 0; reads < 20000; ++reads) {
        const int32_t n = reader.readFloatsConsecutive(8192, audio);
        if (n <= 0) {
            r.ended = true;
            break;
        }
        EXPECT_LE(n, 8192);
        r.frames += n;
    }
    EXPECT_TRUE(r.ended) << "reading never ended: " << path.toStdString();
    return r;
}

// Every entry of the documents directory (hidden ones too) with its bytes;
// the store file by name only (its content is compared through sqlite3).
using DocumentsListing = QMap<QString, QByteArray>;
inline DocumentsListing documentsListing() {
    DocumentsListing listing;
    const QDir dir(Paths::documentsDirectory());
    for (const QFileInfo& info : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        // The lock files hold nothing; the first program that locks makes them.
        if (info.fileName() == DocumentsLock::kStartUpLockName || info.fileName() == DocumentsLock::kExportLockName)
            continue;
        QByteArray bytes;
        if (info.isFile() && !info.fileName().startsWith(QLatin1String(".Quorvel.sqlite"))) {
            QFile f(info.filePath());
            if (f.open(QIODevice::ReadOnly)) bytes = f.readAll();
        }
        listing.insert(info.fileName(), bytes);
    }
    return listing;
}

// The whole store as SQL text, read by the sqlite3 program.
inline QString storeDump(const QString& storePath) {
    const ToolResult r = runTool(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), storePath, QStringLiteral(".dump")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return r.out;
}

} // namespace quorvel::test
