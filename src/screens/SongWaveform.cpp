#include "screens/SongWaveform.h"

#include "platform/core/Log.h"
#include "platform/musiclibrary/MPMediaItem.h"
#include "platform/musiclibrary/MPMediaLibrary.h"

#include <QDateTime>
#include <QFileInfo>

namespace quorvel {

WaveformLoader::Request SongWaveform::requestFor(const QUrl& assetURL, const QString& decodePath,
                                                 MPMediaLibrary* library) {
    QString ownFile = decodePath;
    if (library && !assetURL.isLocalFile()) {
        if (const auto item = library->itemForURL(assetURL)) ownFile = item->filePath();
    }
    const QFileInfo info(ownFile);
    WaveformLoader::Request request;
    request.decodePath = decodePath;
    request.songId = MPMediaItem::persistentIDForPath(info.canonicalFilePath());
    request.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    return request;
}

void SongWaveform::setShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    if (shown_) {
        start();
        return;
    }
    loader_.cancel();
    if (peaks_) {
        peaks_.reset();
        changed_();
    }
}

void SongWaveform::setSong(const QUrl& assetURL, const QString& decodePath, MPMediaLibrary* library) {
    loader_.cancel();
    song_ = requestFor(assetURL, decodePath, library);
    const bool hadPeaks = bool(peaks_);
    peaks_.reset();
    if (shown_) start();
    if (hadPeaks) changed_();
}

void SongWaveform::clearSong() {
    loader_.cancel();
    song_ = {};
    if (peaks_) {
        peaks_.reset();
        changed_();
    }
}

void SongWaveform::start() {
    if (song_.decodePath.isEmpty() || peaks_) return;
    loader_.start(song_, [this](std::shared_ptr<const WaveformPeaks> peaks, const QString& error) {
        // The tiled picture stays for a song whose waveform cannot be made.
        if (!peaks) NSLog("The song's waveform was not made: %@", error);
        peaks_ = std::move(peaks);
        changed_();
    });
}

} // namespace quorvel
