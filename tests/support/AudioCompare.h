#pragma once
// Comparing two encodes of the same audio as an independent decoder hears
// them: ffmpeg decodes, the helpers measure.
#include "TestSupport.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace quorvel::test {

// A file as ffmpeg decodes it, as float samples after the given mix of
// channels (the last AAC frame whole: ffmpeg does not trim it to the edit
// list).
inline std::vector<float> decodeWithFfmpeg(const QString& path, const QStringList& channelMix) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path}
                                          + channelMix + QStringList{QStringLiteral("-f"), QStringLiteral("f32le"), QStringLiteral("-")});
    p.waitForFinished(60000);
    const QByteArray bytes = p.readAllStandardOutput();
    std::vector<float> samples(size_t(bytes.size()) / sizeof(float));
    if (!samples.empty()) std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

inline std::vector<float> decodeFirstChannel(const QString& path) {
    return decodeWithFfmpeg(path, {QStringLiteral("-af"), QStringLiteral("pan=mono|c0=c0")});
}

// All channels mixed down to one.
inline std::vector<float> decodeMono(const QString& path) {
    return decodeWithFfmpeg(path, {QStringLiteral("-ac"), QStringLiteral("1")});
}

inline double correlation(const std::vector<float>& a, const std::vector<float>& b) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

// RMS of a - b over [from, from + length).
inline double differenceRms(const std::vector<float>& a, const std::vector<float>& b, size_t from, size_t length) {
    double sum = 0;
    for (size_t i = from; i < from + length; ++i) sum += double(a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(sum / double(length));
}

// The packets of the first audio stream, as ffprobe counts them.
inline QString packetCount(const QString& path) {
    return runTool(QStringLiteral("ffprobe"),
                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("a:0"),
                    QStringLiteral("-count_packets"), QStringLiteral("-show_entries"),
                    QStringLiteral("stream=nb_read_packets"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), path})
        .out.trimmed();
}

// A spliced encode beside one encoder's, both decoded by ffmpeg and cut to
// `frames` samples: how alike they are, and whether the seam at `split` (a
// frame boundary) can be heard. `frameSize` is the codec's frame.
struct SpliceFigures {
    bool decoded = false;      // both decoded, to the same length, at least `frames` long
    double correlation = 0;
    double seam = 0;           // RMS of the difference over the two frames about the seam
    double loudestElsewhere = 0; // the largest over any two frames after it
    std::vector<float> whole, spliced;
};

inline SpliceFigures compareSplice(const QString& whole, const QString& spliced, size_t frames, size_t split,
                                   size_t frameSize = 1024) {
    SpliceFigures f;
    f.whole = decodeFirstChannel(whole);
    f.spliced = decodeFirstChannel(spliced);
    f.decoded = f.whole.size() >= frames && f.spliced.size() == f.whole.size() && split > frameSize &&
                split + 3 * frameSize < frames;
    if (!f.decoded) return f;
    f.whole.resize(frames);
    f.spliced.resize(frames);
    f.correlation = correlation(f.whole, f.spliced);
    f.seam = differenceRms(f.whole, f.spliced, split - frameSize, 2 * frameSize);
    for (size_t at = split + frameSize; at + 2 * frameSize <= frames; at += frameSize / 2)
        f.loudestElsewhere = std::max(f.loudestElsewhere, differenceRms(f.whole, f.spliced, at, 2 * frameSize));
    return f;
}

} // namespace quorvel::test
