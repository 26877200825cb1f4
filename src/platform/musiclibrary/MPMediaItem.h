#pragma once
// One song of the music library: its library URL, the tags the picker shows
// and the file behind it. A plain value; copying it is cheap.
//
// Thread safety: a value type; artworkImageWithSize() reads the file and may
// run on any thread.
#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <cstdint>

namespace quorvel {

class MPMediaItem {
public:
    // Reads title and artist of the file at `path` (title falls back to the
    // file name without extension). Returns an item with an empty path when
    // the file is not a song the library lists. A file in another audio
    // format is opened with the decoder first and listed only when it holds
    // audio that decodes; so is a file whose audio cannot be copied under its
    // extension (E-AC-3, FLAC, Opus or ALAC in an ".m4a", A-law in a ".wav"),
    // which is then offered as a WAV like a FLAC song.
    static MPMediaItem itemWithFile(const QString& path);
    // The library's extension for a file: "mp3", "m4a", "m4v", "wav", "aif",
    // "aiff", or "m4p" for a protected file; empty for anything else.
    static QString libraryExtensionForFile(const QString& path);
    // The file's own extension when it names another audio format the decoder
    // reads (FLAC, Ogg Vorbis, Opus, WavPack, AAC/ADTS ...), lower case;
    // empty for anything else. Such songs are offered as WAV files.
    static QString decodedFormatForFile(const QString& path);
    // The stable id of a file: a hash of its canonical path, so it is the
    // same in every scan and every run.
    static uint64_t persistentIDForPath(const QString& canonicalPath);
    static QUrl assetURLFor(uint64_t persistentID, const QString& extension);

    uint64_t persistentID() const { return id_; }
    const QUrl& assetURL() const { return url_; }
    const QString& title() const { return title_; }
    const QString& artist() const { return artist_; }
    const QString& filePath() const { return path_; }
    // The extension of the library URL; "wav" for a song offered as a WAV.
    const QString& libraryExtension() const { return extension_; }
    // Length in seconds of the decoded audio (AVURLAsset's duration); 0 when unknown.
    double playbackDuration() const { return duration_; }
    // The song's own file format ("flac", "ogg", "opus", "m4a" ...) when the
    // library offers it as a WAV decoded from the file; empty otherwise.
    const QString& decodedFormat() const { return decodedFormat_; }
    bool isOfferedAsWav() const { return !decodedFormat_.isEmpty(); }
    // Protected songs are listed so the editor can refuse them.
    bool isProtected() const { return extension_ == QLatin1String("m4p"); }
    bool isNull() const { return path_.isEmpty(); }

    // The embedded cover scaled to fit `size` (its own size when `size` is
    // empty); a null image when the file has none.
    QImage artworkImageWithSize(const QSize& size = QSize()) const;

private:
    uint64_t id_ = 0;
    QUrl url_;
    QString title_;
    QString artist_;
    QString path_;
    QString extension_;
    double duration_ = 0.0;
    QString decodedFormat_;
};

QString describe(const MPMediaItem& item);

} // namespace quorvel
