#include "platform/musiclibrary/WavFileWriter.h"

#include <QtEndian>
#include <vector>

namespace quorvel {

namespace {

constexpr int64_t kPlainHeader = 44;      // RIFF, fmt (16 bytes), data
constexpr int64_t kExtensibleHeader = 68; // RIFF, fmt (40 bytes), data
constexpr uint32_t kRiffLimit = 0xffffffffu;

void put16(QByteArray& b, uint16_t v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void put32(QByteArray& b, uint32_t v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

QByteArray header(int sampleRate, int channels, uint32_t dataBytes) {
    const bool extensible = channels > 2;
    const uint32_t fmtBytes = extensible ? 40 : 16;
    QByteArray h;
    h.append("RIFF", 4);
    put32(h, uint32_t(4 + 8 + fmtBytes + 8) + dataBytes);
    h.append("WAVEfmt ", 8);
    put32(h, fmtBytes);
    put16(h, extensible ? 0xfffe : 1);
    put16(h, uint16_t(channels));
    put32(h, uint32_t(sampleRate));
    put32(h, uint32_t(sampleRate) * uint32_t(channels) * 2);
    put16(h, uint16_t(channels * 2));
    put16(h, 16);
    if (extensible) {
        put16(h, 22);
        put16(h, 16);
        put32(h, 0); // no speaker positions: the channels stay in the song's order
        // KSDATAFORMAT_SUBTYPE_PCM
        static const unsigned char pcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                              0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
        h.append(reinterpret_cast<const char*>(pcm), 16);
    }
    h.append("data", 4);
    put32(h, dataBytes);
    return h;
}

} // namespace

int64_t WavFileWriter::maxFrames(int channels) {
    return channels > 0 ? int64_t(kRiffLimit - kExtensibleHeader) / (2 * channels) : 0;
}

bool WavFileWriter::open(const QString& path, int sampleRate, int channels, QString* error) {
    if (sampleRate <= 0 || channels <= 0 || channels > 0xffff) {
        *error = QStringLiteral("no WAV file has %1 channels at %2 Hz").arg(channels).arg(sampleRate);
        return false;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file_.errorString());
        return false;
    }
    sampleRate_ = sampleRate;
    channels_ = channels;
    frames_ = 0;
    const QByteArray h = header(sampleRate, channels, 0);
    if (file_.write(h) != h.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file_.errorString());
        return false;
    }
    return true;
}

bool WavFileWriter::write(const int16_t* samples, int64_t frames, QString* error) {
    if (frames <= 0) return true;
    if (frames_ + frames > maxFrames(channels_)) {
        *error = QStringLiteral("the song is too long for a WAV file");
        return false;
    }
    const int64_t bytes = frames * channels_ * 2;
    qint64 written = 0;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        written = file_.write(reinterpret_cast<const char*>(samples), bytes);
    } else {
        std::vector<int16_t> le(size_t(frames * channels_));
        qToLittleEndian<int16_t>(samples, qsizetype(le.size()), le.data());
        written = file_.write(reinterpret_cast<const char*>(le.data()), bytes);
    }
    if (written != bytes) {
        *error = QStringLiteral("cannot write %1: %2").arg(file_.fileName(), file_.errorString());
        return false;
    }
    frames_ += frames;
    return true;
}

bool WavFileWriter::finish(QString* error) {
    const QByteArray h = header(sampleRate_, channels_, uint32_t(frames_ * channels_ * 2));
    const bool ok = file_.seek(0) && file_.write(h) == h.size() && file_.flush();
    if (!ok) *error = QStringLiteral("cannot write %1: %2").arg(file_.fileName(), file_.errorString());
    file_.close();
    return ok;
}

bool WavFileWriter::isComplete(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray h = f.read(kExtensibleHeader);
    if (h.size() < kPlainHeader || !h.startsWith("RIFF") || h.mid(8, 4) != "WAVE") return false;
    const int64_t at = h.mid(20, 2) == QByteArray("\xfe\xff", 2) ? kExtensibleHeader : kPlainHeader;
    if (h.size() < at || h.mid(int(at) - 8, 4) != "data") return false;
    const uint32_t dataBytes = qFromLittleEndian<uint32_t>(h.constData() + at - 4);
    return f.size() == at + int64_t(dataBytes);
}

} // namespace quorvel
