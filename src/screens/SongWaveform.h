#pragma once
// The editor strip's picture of the song when the user asks for the song's
// own waveform (View > Song Waveform): the peaks of the loaded song, readied
// on a worker (from the cache, or decoded once and cached). Until they are
// there, and whenever the option is off, there are none and the strip shows
// its tiled picture. A new song, or the option turned off, cancels the job
// of the one before.
//
// Main thread only.
#include "platform/media/WaveformLoader.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

namespace quorvel {

class MPMediaLibrary;

class SongWaveform {
public:
    // `changed` runs when the peaks arrive or go.
    explicit SongWaveform(std::function<void()> changed) : changed_(std::move(changed)) {}

    void setShown(bool shown);
    bool isShown() const { return shown_; }

    // The song now loaded in the editor: `assetURL` names it (a library URL
    // or a recording's file), `decodePath` is the file its audio is read
    // from. With a library, a library song's cache key is its own file's.
    void setSong(const QUrl& assetURL, const QString& decodePath, MPMediaLibrary* library);
    void clearSong();

    // The peaks to draw, or null (not shown, not ready, or the song could not be read).
    const std::shared_ptr<const WaveformPeaks>& peaks() const { return peaks_; }
    bool isComputing() const { return loader_.isRunning(); }

    // The cache key of a song: its own file's stable id and modification time.
    static WaveformLoader::Request requestFor(const QUrl& assetURL, const QString& decodePath,
                                              MPMediaLibrary* library);

private:
    void start();

    std::function<void()> changed_;
    WaveformLoader loader_;
    WaveformLoader::Request song_;
    std::shared_ptr<const WaveformPeaks> peaks_;
    bool shown_ = false;
};

} // namespace quorvel
