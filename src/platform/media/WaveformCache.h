#pragma once
// The songs' waveforms kept on disk, so a song's peaks are computed once:
// "<cache>/Waveforms/<song id>-<modified ms>.peaks" (a few kB each). A
// changed song has a new modification time and so a new file; storing it
// drops the song's older ones. Deleting the folder is safe.
//
// Thread safety: every function may be called from any thread and from
// several programs at once (files are written under a hidden work name and
// renamed into place).
#include "platform/media/WaveformPeaks.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace quorvel {

class WaveformCache {
public:
    static QString directory();
    static QString pathFor(uint64_t songId, qint64 modifiedMs);

    // The stored peaks, or nothing when there are none (or they are damaged).
    static std::optional<WaveformPeaks> load(uint64_t songId, qint64 modifiedMs);
    // False, with the reason in *error, when the file cannot be written.
    static bool store(uint64_t songId, qint64 modifiedMs, const WaveformPeaks& peaks, QString* error = nullptr);

    WaveformCache() = delete;
};

} // namespace quorvel
