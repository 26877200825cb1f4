#pragma once
// Helpers for the reader/writer tests: making files with sox/ffmpeg and
// decoding them with those tools as the independent reference.
#include "TestSupport.h"
#include "pipeline/EAFRead.h"

#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

namespace quorvel::test {

inline QUrl fileUrl(const QString& path) { return QUrl::fromLocalFile(path); }

// Runs sox or ffmpeg and fails the test when it does not succeed.
inline void mustRun(const QString& tool, const QStringList& args) {
    ToolResult r = runTool(tool, args);
    ASSERT_EQ(r.exitCode, 0) << tool.toStdString() << " " << args.join(' ').toStdString() << "\n"
                             << r.err.toStdString();
}

inline std::vector<int16_t> readRaw16(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    std::vector<int16_t> out(size_t(bytes.size()) / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int16_t(uint16_t(uint8_t(bytes[int(2 * i)])) | uint16_t(uint8_t(bytes[int(2 * i + 1)]) << 8));
    return out;
}

// What sox decodes from the file: 16-bit, no dither, mixed to `channels`.
inline std::vector<int16_t> soxDecode(const QString& path, int channels = 1) {
    const QString raw = path + ".sox.raw";
    mustRun("sox", {"-D", path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", "-c",
                    QString::number(channels), raw});
    return readRaw16(raw);
}

// What the ffmpeg program decodes from the file as 16-bit at its own rate.
inline std::vector<int16_t> ffmpegDecode(const QString& path, int channels = 1) {
    const QString raw = path + ".ffmpeg.raw";
    mustRun("ffmpeg", {"-v", "error", "-i", path, "-ac", QString::number(channels), "-f", "s16le", "-y", raw});
    return readRaw16(raw);
}

// Every frame of the file through EAFRead as interleaved 16-bit samples.
inline std::vector<int16_t> readAllShorts(const QString& path, double rate, int channels, int32_t chunk = 4096) {
    EAFRead reader;
    EXPECT_EQ(reader.openFileForRead(fileUrl(path), rate, channels), 0) << path.toStdString();
    std::vector<std::vector<int16_t>> chans(size_t(channels), std::vector<int16_t>(size_t(chunk), 0));
    std::vector<int16_t*> ptrs;
    for (auto& c : chans) ptrs.push_back(c.data());
    std::vector<int16_t> all;
    for (int guard = 0; guard < 1000000; ++guard) {
        const int32_t n = reader.readShortsConsecutive(chunk, ptrs.data());
        EXPECT_GE(n, 0);
        if (n <= 0) break;
        for (int32_t j = 0; j < n; ++j)
            for (int c = 0; c < channels; ++c) all.push_back(chans[size_t(c)][size_t(j)]);
    }
    return all;
}

// Largest sample difference; the sizes must match.
inline int maxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

} // namespace quorvel::test
