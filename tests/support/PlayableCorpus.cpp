#include "PlayableCorpus.h"

#include "SampleFiles.h"

#include <QStringList>
#include <cstdio>

namespace quorvel::samples {

namespace {

uint32_t readBE32(const QByteArray& b, qsizetype at) {
    return uint32_t(uchar(b[at])) << 24 | uint32_t(uchar(b[at + 1])) << 16 | uint32_t(uchar(b[at + 2])) << 8 |
           uint32_t(uchar(b[at + 3]));
}

// The child atom `type` inside [from, to), or -1.
qsizetype childAtom(const QByteArray& b, qsizetype from, qsizetype to, const char* type) {
    for (qsizetype at = from; at + 8 <= to;) {
        const qsizetype size = readBE32(b, at);
        if (size < 8 || at + size > to) return -1;
        if (b.mid(at + 4, 4) == type) return at;
        at += size;
    }
    return -1;
}

// A tone from ffmpeg's own source.
QStringList tone(double seconds, int rate = 44100, int channels = 1) {
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(seconds), QStringLiteral("-ac"),
            QString::number(channels)};
}

QStringList codec(const char* name) { return {QStringLiteral("-c:a"), QString::fromLatin1(name)}; }

} // namespace

QByteArray withCompositionOffsets(const QByteArray& m4a, const std::vector<uint32_t>& offsets) {
    // moov > trak > mdia > minf > stbl, each found inside the one before.
    std::vector<qsizetype> path;
    qsizetype from = 0, to = m4a.size();
    for (const char* type : {"moov", "trak", "mdia", "minf", "stbl"}) {
        const qsizetype at = childAtom(m4a, from, to, type);
        if (at < 0) return {};
        path.push_back(at);
        from = at + 8;
        to = at + readBE32(m4a, at);
    }
    if (path.front() < m4a.indexOf("mdat")) return {}; // chunk offsets would move
    const qsizetype stsz = childAtom(m4a, from, to, "stsz");
    if (stsz < 0) return {};
    const uint32_t samples = readBE32(m4a, stsz + 16);
    QByteArray table = be32(0) + be32(samples); // version and flags, entry count
    for (uint32_t i = 0; i < samples; ++i) table += be32(1) + be32(offsets[i % offsets.size()]);
    const QByteArray ctts = atom("ctts", table);
    QByteArray out = m4a;
    out.insert(to, ctts);
    for (const qsizetype at : path) putBE32(out, at, uint32_t(readBE32(out, at) + ctts.size()));
    return out;
}

std::vector<HostileFile> playableCorpus(const QString& dir) {
    std::vector<HostileFile> files;
    bool ok = true;
    auto add = [&](const QString& name, const QString& what, const QByteArray& bytes) {
        if (bytes.isEmpty()) {
            std::fprintf(stderr, "could not make %s\n", qPrintable(name));
            ok = false;
        }
        files.push_back({name, Expect::Plays, what, bytes});
    };

    const QByteArray aac = ffmpegFile(dir, QStringLiteral("aac.m4a"), tone(1.5, 44100, 2) + codec("aac"));
    const QString aacPath = dir + QStringLiteral("/aac.m4a");
    add(QStringLiteral("aac-composition-offsets.m4a"),
        QStringLiteral("AAC whose composition-time table gives every two packets one presentation time"),
        withCompositionOffsets(aac, {1024, 0}));
    add(QStringLiteral("aac-reordered-composition-offsets.m4a"),
        QStringLiteral("AAC with B-frame-style composition offsets (2048, 0, 0)"), withCompositionOffsets(aac, {2048, 0, 0}));
    add(QStringLiteral("aac-leading-empty-edit.m4a"), QStringLiteral("AAC whose edit list starts with 0.5 s of empty edit"),
        ffmpegFile(dir, QStringLiteral("delayed.m4a"),
                   {QStringLiteral("-itsoffset"), QStringLiteral("0.5"), QStringLiteral("-i"), aacPath, QStringLiteral("-c"),
                    QStringLiteral("copy")}));
    add(QStringLiteral("aac-edit-into-the-media.m4a"), QStringLiteral("AAC whose edit list starts inside its first packet"),
        ffmpegFile(dir, QStringLiteral("seeked.m4a"),
                   {QStringLiteral("-ss"), QStringLiteral("0.3"), QStringLiteral("-i"), aacPath, QStringLiteral("-c"),
                    QStringLiteral("copy")}));

    // Other codecs in ".m4a" (the MPEG-4 muxer: the iPod one takes AAC and ALAC only).
    const QStringList mp4 = {QStringLiteral("-f"), QStringLiteral("mp4")};
    add(QStringLiteral("eac3-in.m4a"), QStringLiteral("E-AC-3 in an .m4a"),
        ffmpegFile(dir, QStringLiteral("eac3.m4a"), tone(1.0, 48000, 2) + codec("eac3") + mp4));
    add(QStringLiteral("flac-in.m4a"), QStringLiteral("FLAC in an .m4a"),
        ffmpegFile(dir, QStringLiteral("flac.m4a"), tone(1.0, 44100, 2) + codec("flac") + mp4 +
                              QStringList{QStringLiteral("-strict"), QStringLiteral("-2")}));
    add(QStringLiteral("opus-in.m4a"), QStringLiteral("Opus in an .m4a"),
        ffmpegFile(dir, QStringLiteral("opus.m4a"), tone(1.0, 48000, 2) + codec("libopus") + mp4));
    add(QStringLiteral("alac-in.m4a"), QStringLiteral("ALAC in an .m4a"),
        ffmpegFile(dir, QStringLiteral("alac.m4a"), tone(1.0, 44100, 2) + codec("alac")));

    // WAV sample formats.
    add(QStringLiteral("wav-8-bit.wav"), QStringLiteral("8-bit unsigned PCM"),
        ffmpegFile(dir, QStringLiteral("u8.wav"), tone(0.5) + codec("pcm_u8")));
    add(QStringLiteral("wav-24-bit.wav"), QStringLiteral("24-bit PCM"),
        ffmpegFile(dir, QStringLiteral("s24.wav"), tone(0.25) + codec("pcm_s24le")));
    add(QStringLiteral("wav-float.wav"), QStringLiteral("32-bit float"),
        ffmpegFile(dir, QStringLiteral("f32.wav"), tone(0.25) + codec("pcm_f32le")));

    // Rates and channels.
    add(QStringLiteral("rate-8000.mp3"), QStringLiteral("an MP3 at 8 kHz"),
        ffmpegFile(dir, QStringLiteral("r8.mp3"), tone(1.0, 8000) + codec("libmp3lame")));
    add(QStringLiteral("rate-8000.wav"), QStringLiteral("16-bit PCM at 8 kHz"),
        ffmpegFile(dir, QStringLiteral("r8.wav"), tone(1.0, 8000) + codec("pcm_s16le")));
    add(QStringLiteral("rate-96000.wav"), QStringLiteral("16-bit PCM at 96 kHz"),
        ffmpegFile(dir, QStringLiteral("r96.wav"), tone(0.25, 96000) + codec("pcm_s16le")));
    add(QStringLiteral("rate-96000.m4a"), QStringLiteral("AAC at 96 kHz"),
        ffmpegFile(dir, QStringLiteral("r96.m4a"), tone(1.0, 96000) + codec("aac")));
    add(QStringLiteral("mono-48000.m4a"), QStringLiteral("mono AAC at 48 kHz"),
        ffmpegFile(dir, QStringLiteral("m48.m4a"), tone(1.0, 48000) + codec("aac")));
    add(QStringLiteral("six-channels.m4a"), QStringLiteral("5.1 AAC"),
        ffmpegFile(dir, QStringLiteral("six.m4a"), tone(1.0, 44100, 6) + codec("aac")));
    add(QStringLiteral("six-channels.wav"), QStringLiteral("six channels of 16-bit PCM"),
        ffmpegFile(dir, QStringLiteral("six.wav"), tone(0.1, 44100, 6) + codec("pcm_s16le")));
    if (!ok) return {};
    return files;
}

} // namespace quorvel::samples
