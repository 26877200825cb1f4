#include "pipeline/WavReader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <sys/types.h>
#include <vector>

namespace quorvel {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr int kFormatBlockSize = 44;
constexpr int kMaxSkippedChunks = 11;
constexpr uint32_t kUnknownLength = 0xFFFFFFFF;

const uint8_t waveformat_pcm_guid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
const uint8_t waveformat_float_guid[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                           0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

struct ChunkHeader {
    char id[4];
    uint32_t length;
};

bool readChunkHeader(FILE* fp, ChunkHeader* header) {
    uint8_t raw[8];
    if (std::fread(raw, 1, 8, fp) != 8) return false;
    std::memcpy(header->id, raw, 4);
    header->length = le32(raw + 4);
    return true;
}

bool isId(const ChunkHeader& h, const char* id) { return std::memcmp(h.id, id, 4) == 0; }

// A chunk body's length in the file: RIFF puts a pad byte after an odd length.
uint64_t padded(uint32_t length) { return uint64_t(length) + (length & 1); }

// Seeking past the end is allowed; the next header read then fails.
bool skip(FILE* fp, uint64_t bytes) { return bytes == 0 || fseeko(fp, off_t(bytes), SEEK_CUR) == 0; }

struct FileCloser {
    void operator()(FILE* fp) const { std::fclose(fp); }
};

// One sample of `bytes` bytes (1 to 8, little-endian) as a float scaled to the 16-bit range.
float convert(const uint8_t* b, int bytes, bool isFloat) {
    if (isFloat) {
        if (bytes == 4) {
            uint32_t bits = le32(b);
            float f;
            std::memcpy(&f, &bits, 4);
            return f * 32768.0f;
        }
        uint64_t bits = uint64_t(le32(b)) | uint64_t(le32(b + 4)) << 32;
        double v;
        std::memcpy(&v, &bits, 8);
        return float(v * 32768.0);
    }
    switch (bytes) {
    case 1: return float((int(b[0]) - 128) * 256);
    case 2: return float(int16_t(le16(b)));
    case 3: {
        int32_t v = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16);
        if (v & 0x800000) v -= 0x1000000; // extend bit 23
        return float(v) * (1.0f / 256.0f);
    }
    default: return float(int32_t(le32(b))) * (1.0f / 65536.0f);
    }
}

} // namespace

wav_file* wav_open_read(const char* path) {
    if (!path) return nullptr;
    std::unique_ptr<FILE, FileCloser> fp(std::fopen(path, "rb"));
    if (!fp) {
        std::perror(path);
        return nullptr;
    }
    uint8_t riff[12];
    if (std::fread(riff, 1, 12, fp.get()) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return nullptr;

    ChunkHeader header;
    if (!readChunkHeader(fp.get(), &header)) return nullptr;
    // A broadcast-wave extension directly after the RIFF header is skipped,
    // once. Broadcast-wave writers spell its id in lower case.
    if (isId(header, "BEXT") || isId(header, "bext")) {
        if (!skip(fp.get(), padded(header.length)) || !readChunkHeader(fp.get(), &header)) return nullptr;
    }
    if (!isId(header, "fmt ")) return nullptr;

    uint8_t block[kFormatBlockSize] = {};
    const uint32_t take = std::min<uint32_t>(header.length, kFormatBlockSize);
    if (std::fread(block, 1, take, fp.get()) != take) return nullptr;
    if (!skip(fp.get(), padded(header.length) - take)) return nullptr;

    int skipped = 0;
    for (;;) {
        if (!readChunkHeader(fp.get(), &header)) return nullptr;
        if (isId(header, "data")) break;
        if (++skipped > kMaxSkippedChunks || !skip(fp.get(), padded(header.length))) return nullptr;
    }
    // An interrupted writer leaves 0 where the length goes, a streaming one
    // 0xFFFFFFFF: both mean that the samples run to the end of the file.
    const uint32_t dataLength = header.length == 0 ? kUnknownLength : header.length;

    const uint16_t tag = le16(block);
    bool isFloat = tag == kFormatFloat;
    bool supported = tag == kFormatPcm || tag == kFormatFloat;
    if (tag == kFormatExtensible) {
        if (le16(block + 16) < 22) return nullptr;
        if (std::memcmp(block + 24, waveformat_pcm_guid, 16) == 0) {
            supported = true;
        } else if (std::memcmp(block + 24, waveformat_float_guid, 16) == 0) {
            supported = isFloat = true;
        }
    }
    const int channels = le16(block + 2);
    const int bits = le16(block + 14);
    // No channels or less than a byte per sample cannot be read (and would
    // make the frame count a division by zero).
    if (!supported || channels == 0 || bits < 8) {
        std::fprintf(stderr, "%s: file format not supported\n", path);
        return nullptr;
    }

    auto* wav = new wav_file;
    wav->channels = channels;
    wav->sample_bytes = bits / 8;
    wav->sample_rate = int32_t(std::min<uint32_t>(le32(block + 4), INT32_MAX));
    wav->frames = int32_t(std::min<uint64_t>(dataLength / (uint64_t(wav->sample_bytes) * uint64_t(channels)), INT32_MAX));
    wav->is_float = isFloat ? 1 : 0;
    wav->data_left = dataLength == kUnknownLength ? UINT64_MAX : dataLength;
    wav->fp = fp.release();
    return wav;
}

int wav_read_float32(wav_file* handle, float* buffer, unsigned int count, const int* map) {
    if (!handle || !handle->fp || !buffer) return 0;
    const int bytes = handle->sample_bytes;
    if (bytes < 1 || bytes > 8) return 0;
    const bool isFloat = handle->is_float != 0;
    if (isFloat ? (bytes != 4 && bytes != 8) : bytes > 4) return 0;

    count = std::min<unsigned int>(count, INT_MAX);
    uint8_t raw[8];
    unsigned int n = 0;
    while (n < count && handle->data_left >= uint64_t(bytes)) {
        if (fread_unlocked(raw, size_t(bytes), 1, handle->fp) != 1) break; // end of file
        if (handle->data_left != UINT64_MAX) handle->data_left -= bytes;
        buffer[n++] = convert(raw, bytes, isFloat);
    }
    if (map && handle->channels > 0) chan_remap(buffer, handle->channels, int(n / unsigned(handle->channels)), map);
    return int(n);
}

void chan_remap(float* buffer, int channels, int frames, const int* map) {
    if (!buffer || !map || channels <= 0 || frames <= 0) return;
    std::vector<float> scratch(static_cast<size_t>(channels));
    for (int f = 0; f < frames; ++f) {
        float* frame = buffer + size_t(f) * size_t(channels);
        std::copy(frame, frame + channels, scratch.begin());
        for (int j = 0; j < channels; ++j)
            if (map[j] >= 0 && map[j] < channels) frame[j] = scratch[size_t(map[j])];
    }
}

int wav_close(wav_file* handle) {
    if (!handle) return EOF;
    int rc = handle->fp ? std::fclose(handle->fp) : 0;
    delete handle;
    return rc;
}

} // namespace quorvel
