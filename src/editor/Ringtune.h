#pragma once
// The ringtone being made: its source, the chosen segment, speed and pitch,
// the files the pipeline has produced, the fade envelope and the name the
// export is written under. Written on the main thread only; workers read it
// while the editor waits for them.
#include "platform/core/CMTime.h"
#include "platform/media/AVAudioMix.h"

#include <QImage>
#include <QString>
#include <QUrl>
#include <memory>

namespace quorvel {

class Ringtune {
public:
    // Defaults: invalid range, speed and pitch 1.0, not recorded, not processed, MPEG-4.
    Ringtune(QUrl assetURL, QString title, QString artist, QImage artwork);

    const QUrl& assetURL() const { return assetURL_; }
    void setAssetURL(const QUrl& url) { assetURL_ = url; }
    const QUrl& effectURL() const { return effectURL_; }
    void setEffectURL(const QUrl& url) { effectURL_ = url; }
    const QUrl& exportURL() const { return exportURL_; }
    void setExportURL(const QUrl& url) { exportURL_ = url; }
    const QString& title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    const QString& artist() const { return artist_; }
    void setArtist(const QString& artist) { artist_ = artist; }
    const QUrl& storedFilePath() const { return storedFilePath_; }
    void setStoredFilePath(const QUrl& url) { storedFilePath_ = url; }
    const QImage& artwork() const { return artwork_; }
    void setArtwork(const QImage& artwork) { artwork_ = artwork; }
    const std::shared_ptr<AVAudioMix>& audioMixer() const { return audioMixer_; }
    void setAudioMixer(std::shared_ptr<AVAudioMix> mix) { audioMixer_ = std::move(mix); }

    bool isRecorded() const { return recorded_; }
    void setRecorded(bool recorded) { recorded_ = recorded; }
    bool isProcessed() const { return processed_; }
    void setProcessed(bool processed) { processed_ = processed; }
    bool isMP4() const { return mp4_; }
    void setMp4(bool mp4) { mp4_ = mp4; }

    // The stored segment, and the effective one: the stored segment when
    // recorded equals processed, else the invalid range (the whole file).
    CMTimeRange realTimeRange() const { return timeRange_; }
    void setTimeRange(const CMTimeRange& range) { timeRange_ = range; }
    CMTimeRange timeRange() const;
    CMTime duration() const { return timeRange_.duration; }

    // Takes the speed control's position v (-2..2) and stores 2^(v/2).
    void setSpeed(float controlPosition);
    float speed() const { return speed_; }
    // The position last given to setSpeed(). The stretched range is computed
    // from it, so the range and the engine's factor come from one call.
    float speedPosition() const { return speedPosition_; }
    // Takes the pitch control's semitones s (-12..12) and stores 2^(s/12).
    void setPitch(float semitones);
    float pitch() const { return pitch_; }

    // Name of the exported file: "<title>.m4r", or for a recording
    // "<title>-<first 19 characters of the artist, cleaned>.m4r".
    QString fileName() const;
    // The documents directory joined with fileName(), made safe as a single
    // file name so that no title can write elsewhere. The store names the
    // stored file after it; nothing is written there.
    QString filePath() const;
    // Where the writers write the ringtone until the store has chosen its
    // final name and moved it there: a hidden file in the documents
    // directory, one per process, so that no export ever writes over a file
    // it did not make and a killed one leaves nothing visible.
    static QString workFilePath();
    // The names of work files any process may have left (for the clean-up).
    static QString workFileNamePattern();

    QString description() const;

private:
    QUrl assetURL_;
    QUrl effectURL_;
    QUrl exportURL_;
    QString title_;
    QString artist_;
    QUrl storedFilePath_;
    QImage artwork_;
    std::shared_ptr<AVAudioMix> audioMixer_;
    bool recorded_ = false;
    bool processed_ = false;
    bool mp4_ = true;
    CMTimeRange timeRange_ = kCMTimeRangeInvalid;
    float speed_ = 1.0f;
    float speedPosition_ = 0.0f;
    float pitch_ = 1.0f;
};

// Makes `name` usable as one file name directly inside a folder: "/" and NUL
// become "_", and a name whose stem (before ".m4r") is empty, "." or ".."
// gets a "_" prefix.
QString safeFileName(const QString& name);

QString describe(const Ringtune& r);

} // namespace quorvel
