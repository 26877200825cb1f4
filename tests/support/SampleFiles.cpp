#include "SampleFiles.h"

#include "pipeline/AudioBuffers.h"
#include "pipeline/EAFWrite.h"
#include "platform/media/AVAssetExportSession.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace quorvel::samples {

namespace {

QString toneWav(const QString& dir, double seconds) {
    const QString path = dir + QStringLiteral("/tone-%1.wav").arg(seconds);
    if (!QFile::exists(path)) {
        const QByteArray bytes = writtenFile(dir, fourCC("WAVE"), seconds, 1);
        if (bytes.isEmpty() || !writeBytes(path, bytes)) return {};
    }
    return path;
}

bool runFfmpeg(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg %s failed: %s\n", qPrintable(args.join(QLatin1Char(' '))),
                     p.readAllStandardError().constData());
        return false;
    }
    return true;
}

const QStringList kBitExact = {QStringLiteral("-fflags"), QStringLiteral("+bitexact"), QStringLiteral("-flags:a"),
                               QStringLiteral("+bitexact")};

} // namespace

QByteArray writtenFile(const QString& dir, uint32_t type, double seconds, int channels, int bits) {
    static const QHash<uint32_t, QString> extensions = {{fourCC("WAVE"), QStringLiteral("wav")},
                                                        {fourCC("AIFF"), QStringLiteral("aiff")},
                                                        {fourCC("caff"), QStringLiteral("caf")},
                                                        {fourCC("m4af"), QStringLiteral("m4a")}};
    const QString path = dir + QStringLiteral("/written.") + extensions.value(type, QStringLiteral("bin"));
    const int frames = int(std::lround(seconds * 44100));
    float** audio = AllocateAudioBuffer(channels, std::max(frames, 1));
    if (!audio) return {};
    // A tone per channel (440 Hz, 660 Hz ...) at half scale.
    for (int c = 0; c < channels; ++c)
        for (int j = 0; j < frames; ++j)
            audio[c][j] = float(0.5 * std::sin(2 * M_PI * 440.0 * (1 + 0.5 * c) * j / 44100.0));
    OSStatus status = noErr;
    {
        EAFWrite writer;
        status = writer.openFileForWrite(QUrl::fromLocalFile(path), 44100, channels, bits, type);
        if (status == noErr && frames > 0) status = writer.writeFloats(uint32_t(frames), audio);
    }
    DeallocateAudioBuffer(audio, channels);
    if (status != noErr) {
        std::fprintf(stderr, "writing %s failed: %d\n", qPrintable(path), int(status));
        return {};
    }
    const QByteArray bytes = readBytes(path);
    QFile::remove(path);
    return bytes;
}

QByteArray mp3File(const QString& dir, double seconds) {
    const QString wav = toneWav(dir, seconds);
    const QString path = dir + QStringLiteral("/tone.mp3");
    if (wav.isEmpty() || !runFfmpeg(QStringList{QStringLiteral("-i"), wav, QStringLiteral("-c:a"),
                                                QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
                                                QStringLiteral("64k")} +
                                    kBitExact + QStringList{path}))
        return {};
    return readBytes(path);
}

QByteArray movieFile(const QString& dir, double seconds) {
    const QByteArray mp3 = mp3File(dir, seconds);
    const QString mp3Path = dir + QStringLiteral("/movie-source.mp3");
    const QString path = dir + QStringLiteral("/movie.mov");
    if (mp3.isEmpty() || !writeBytes(mp3Path, mp3)) return {};
    QFile::remove(path);
    auto session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(mp3Path)),
                                                                AVAssetExportPresetPassthrough);
    if (!session) return {};
    session->setOutputURL(QUrl::fromLocalFile(path));
    session->setOutputFileType(AVFileTypeQuickTimeMovie);
    std::atomic<bool> done{false};
    session->exportAsynchronouslyWithCompletionHandler([&done] { done = true; });
    for (int i = 0; i < 6000 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done || session->status() != AVAssetExportSessionStatusCompleted) {
        std::fprintf(stderr, "movie export failed: %s\n", qPrintable(session->error().description()));
        return {};
    }
    return readBytes(path);
}

QByteArray taggedFile(const QString& dir, const QString& extension, double seconds) {
    const QString wav = toneWav(dir, seconds);
    const QString cover = dir + QStringLiteral("/cover.png");
    const QString path = dir + QStringLiteral("/tagged.") + extension;
    if (wav.isEmpty() || !writeBytes(cover, coverPng())) return {};
    QStringList codec;
    if (extension == QLatin1String("mp3"))
        codec = {"-c:a", "libmp3lame", "-b:a", "64k", "-id3v2_version", "3"};
    else if (extension == QLatin1String("m4a"))
        codec = {"-c:a", "aac", "-b:a", "64k"};
    else
        codec = {"-c:a", "pcm_s16be", "-write_id3v2", "1", "-id3v2_version", "3"};
    const QStringList args = QStringList{"-i", wav, "-i", cover, "-map", "0:a", "-map", "1:v"} + codec +
                             QStringList{"-c:v", "copy", "-metadata", "title=Seed tone", "-metadata",
                                         "artist=Quorvel", "-disposition:v", "attached_pic"} +
                             kBitExact + QStringList{path};
    return runFfmpeg(args) ? readBytes(path) : QByteArray();
}

QByteArray ffmpegFile(const QString& dir, const QString& name, const QStringList& args) {
    const QString path = dir + QLatin1Char('/') + name;
    return runFfmpeg(args + kBitExact + QStringList{path}) ? readBytes(path) : QByteArray();
}

QByteArray coverPng() {
    QImage image(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) image.setPixel(x, y, qRgb(x * 16, 255 - y * 16, 128));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray riffChunk(const char id[4], const QByteArray& body) {
    QByteArray c = QByteArray(id, 4) + le32(uint32_t(body.size())) + body;
    if (body.size() & 1) c.append('\0');
    return c;
}

QByteArray riffWave(uint16_t tag, int channels, int bits, const QByteArray& samples, uint16_t subFormat,
                    const QByteArray& chunksBeforeData, const QByteArray& chunkBeforeFmt) {
    const int blockAlign = channels * bits / 8;
    QByteArray fmt = le16(tag) + le16(uint16_t(channels)) + le32(44100) + le32(uint32_t(44100 * blockAlign)) +
                     le16(uint16_t(blockAlign)) + le16(uint16_t(bits));
    if (tag == 0xFFFE) {
        static const char guidTail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";
        fmt += le16(22) + le16(uint16_t(bits)) + le32(channels == 2 ? 3 : 4) + le16(subFormat) +
               QByteArray(guidTail, 14);
    }
    const QByteArray body = QByteArray("WAVE") + chunkBeforeFmt + riffChunk("fmt ", fmt) + chunksBeforeData +
                            riffChunk("data", samples);
    return QByteArray("RIFF") + le32(uint32_t(body.size())) + body;
}

QByteArray atom(const char type[4], const QByteArray& payload) {
    return be32(uint32_t(payload.size() + 8)) + QByteArray(type, 4) + payload;
}

std::vector<Atom> topLevelAtoms(const QByteArray& file) {
    std::vector<Atom> atoms;
    qsizetype at = 0;
    while (at + 8 <= file.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(file.constData() + at);
        const qsizetype size = qsizetype(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
        if (size < 8 || at + size > file.size()) break;
        atoms.push_back({at, size, file.mid(at + 4, 4)});
        at += size;
    }
    return atoms;
}

void putLE16(QByteArray& b, qsizetype at, uint16_t v) { b.replace(at, 2, le16(v)); }
void putLE32(QByteArray& b, qsizetype at, uint32_t v) { b.replace(at, 4, le32(v)); }
void putBE32(QByteArray& b, qsizetype at, uint32_t v) { b.replace(at, 4, be32(v)); }

QByteArray le16(uint16_t v) {
    const char b[2] = {char(v & 0xFF), char(v >> 8)};
    return QByteArray(b, 2);
}
QByteArray le32(uint32_t v) {
    const char b[4] = {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)};
    return QByteArray(b, 4);
}
QByteArray be32(uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)};
    return QByteArray(b, 4);
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace quorvel::samples
