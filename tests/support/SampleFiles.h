#pragma once
// Small valid files of every kind the readers take, written by our own
// writers (EAFWrite for WAVE/AIFF/CAF/M4A, the export service for QuickTime
// movies) or, for MP3 and tags with cover art, by the ffmpeg program. They
// are the fuzzers' seeds and the raw material of the hostile corpus.
//
// Every function works in `dir` (a scratch folder) and returns the file's
// bytes, or an empty array after printing the reason to standard error.
// The output is deterministic for a given FFmpeg version.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace quorvel::samples {

// A tone of `seconds` at 44,100 Hz through EAFWrite: type "WAVE", "AIFF",
// "caff" or "m4af", `bits` per sample for the PCM types.
QByteArray writtenFile(const QString& dir, uint32_t type, double seconds, int channels, int bits = 16);
// The WAVE tone as MP3 (ffmpeg with libmp3lame, bit-exact).
QByteArray mp3File(const QString& dir, double seconds);
// A QuickTime movie that the export service makes from the MP3 tone, as the
// importer has it made for an MP3 song.
QByteArray movieFile(const QString& dir, double seconds);
// The tone with title, artist and a small PNG cover: `extension` is "mp3",
// "m4a" or "aiff" (ID3v2 APIC / "covr").
QByteArray taggedFile(const QString& dir, const QString& extension, double seconds);
// A file made by the ffmpeg program in `dir` under `name` from `args`
// (inputs, codecs, options; bit-exact flags and the output are added).
QByteArray ffmpegFile(const QString& dir, const QString& name, const QStringList& args);
// A 16x16 PNG made with QImage.
QByteArray coverPng();

// RIFF/WAVE made field by field, for the formats our writer does not make:
// `tag` 1 PCM, 3 float or 0xFFFE extensible (with `subFormat` 1 or 3).
QByteArray riffWave(uint16_t tag, int channels, int bits, const QByteArray& samples, uint16_t subFormat = 1,
                    const QByteArray& chunksBeforeData = {}, const QByteArray& chunkBeforeFmt = {});
QByteArray riffChunk(const char id[4], const QByteArray& body);

// One atom: 32-bit big-endian size, type, payload.
QByteArray atom(const char type[4], const QByteArray& payload);
struct Atom {
    qsizetype offset = 0;
    qsizetype size = 0; // header included
    QByteArray type;
};
// The top-level atoms of an MPEG-4 file, as far as their sizes can be followed.
std::vector<Atom> topLevelAtoms(const QByteArray& file);

void putLE16(QByteArray& b, qsizetype at, uint16_t v);
void putLE32(QByteArray& b, qsizetype at, uint32_t v);
void putBE32(QByteArray& b, qsizetype at, uint32_t v);
QByteArray le16(uint16_t v);
QByteArray le32(uint32_t v);
QByteArray be32(uint32_t v);

bool writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

} // namespace quorvel::samples
