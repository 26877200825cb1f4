#pragma once
// A copy of a stored ringtone for another phone, written where the user
// says: ".m4r" (iPhones) and ".m4a" (Android and most others) are the stored
// AAC-in-MPEG-4 bytes as they are; ".ogg" is the audio transcoded to Opus at
// 96 kbit/s (Vorbis where this FFmpeg has no Opus encoder), with the title,
// artist and artwork as Vorbis comments.
//
// The copy is written under a hidden work name in the destination's folder
// and renamed into place at the end, so a failure leaves nothing behind and
// a file that is already there is never replaced unless the caller says so.
//
// Thread safety: write() holds no shared state; callers run it on a worker.
#include <QByteArray>
#include <QString>
#include <optional>

namespace quorvel {

enum class RingtoneCopyFormat { M4r, M4a, Ogg };

struct RingtoneCopyTags {
    QString title;
    QString artist;
    QByteArray artworkPng; // empty: no artwork
};

class RingtoneCopyWriter {
public:
    // "m4r", "m4a", "ogg".
    static QString extension(RingtoneCopyFormat format);
    // The format of an extension (with or without the point, any case).
    static std::optional<RingtoneCopyFormat> formatForExtension(const QString& extension);
    // FFmpeg's encoder for ".ogg" here: "libopus", else "libvorbis", else empty.
    static QString oggEncoderName();

    // Writes `source` as `destination`. False, with one sentence in
    // `error`, when the source cannot be read, the destination's folder
    // cannot be written, or (unless `replace`) the destination exists.
    static bool write(const QString& source, const QString& destination, RingtoneCopyFormat format,
                      const RingtoneCopyTags& tags, bool replace, QString* error);

    RingtoneCopyWriter() = delete;

private:
    static bool transcodeToOgg(const QString& source, const QString& workPath, const RingtoneCopyTags& tags,
                               QString* error);
};

} // namespace quorvel
