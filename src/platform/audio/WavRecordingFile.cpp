#include "platform/audio/WavRecordingFile.h"

#include <QtEndian>
#include <cstring>
#include <vector>

namespace quorvel {

namespace {
void put16(char* p, uint16_t v) { qToLittleEndian(v, p); }
void put32(char* p, uint32_t v) { qToLittleEndian(v, p); }
} // namespace

WavRecordingFile::~WavRecordingFile() { close(); }

bool WavRecordingFile::create(const QString& path, int sampleRate, int channels) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    dataBytes_ = 0;
    char header[44] = {};
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, 36);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);
    put16(header + 20, 1); // PCM
    put16(header + 22, uint16_t(channels));
    put32(header + 24, uint32_t(sampleRate));
    put32(header + 28, uint32_t(sampleRate * channels * 2));
    put16(header + 32, uint16_t(channels * 2));
    put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, 0);
    return file_.write(header, sizeof header) == qint64(sizeof header) && file_.flush();
}

bool WavRecordingFile::append(const int16_t* samples, size_t count) {
    if (!file_.isOpen()) return false;
    if (dataBytes_ + count * 2 > kMaxDataBytes) return false;
    qint64 written = 0;
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        written = file_.write(reinterpret_cast<const char*>(samples), qint64(count * 2));
    } else {
        std::vector<char> bytes(count * 2);
        for (size_t i = 0; i < count; ++i) put16(bytes.data() + i * 2, uint16_t(samples[i]));
        written = file_.write(bytes.data(), qint64(bytes.size()));
    }
    if (written != qint64(count * 2)) return false;
    dataBytes_ += count * 2;
    return true;
}

bool WavRecordingFile::updateHeader() {
    if (!file_.isOpen()) return false;
    const qint64 end = file_.pos();
    char riff[4], data[4];
    put32(riff, uint32_t(36 + dataBytes_));
    put32(data, uint32_t(dataBytes_));
    const bool ok = file_.seek(4) && file_.write(riff, 4) == 4 && file_.seek(40) && file_.write(data, 4) == 4 &&
                    file_.seek(end) && file_.flush();
    return ok;
}

bool WavRecordingFile::close() {
    if (!file_.isOpen()) return true;
    const bool ok = updateHeader();
    file_.close();
    return ok && file_.error() == QFileDevice::NoError;
}

} // namespace quorvel
