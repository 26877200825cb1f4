// Makes the demo songs that ship with the program, so that a fresh machine
// has something to pick: synthesised music, encoded through the platform
// layer (MP3 through libavcodec, M4A through the export service's AppleM4A
// preset), tagged with title, artist and a cover picture.
//
//   quorvel-demo-songs <output folder>
#include "DemoSynth.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/media/SongFileWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>

using namespace quorvel;

namespace {

constexpr int kRate = 44100;

struct DemoSong {
    const char* file;
    const char* title;
    const char* artist;
    demo::SongStyle style;
    QRgb from, to;
};

QByteArray artwork(QRgb from, QRgb to, uint32_t seed) {
    QImage image(300, 300, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, 300, 300);
    gradient.setColorAt(0, QColor(from));
    gradient.setColorAt(1, QColor(to));
    p.fillRect(image.rect(), gradient);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 7; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int x = int(seed >> 24) + 20, y = int((seed >> 16) & 0xff) + 20, r = 15 + int((seed >> 8) % 50);
        p.setBrush(QColor(255, 255, 255, 60 + i * 15));
        p.drawEllipse(QPoint(x, y), r, r);
    }
    p.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return jpeg;
}

bool tagMp3(const QString& path, const DemoSong& song, const QByteArray& cover) {
    TagLib::MPEG::File f(QFile::encodeName(path).constData());
    if (!f.isValid()) return false;
    TagLib::ID3v2::Tag* tag = f.ID3v2Tag(true);
    tag->setTitle(TagLib::String(song.title, TagLib::String::UTF8));
    tag->setArtist(TagLib::String(song.artist, TagLib::String::UTF8));
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
    picture->setMimeType("image/jpeg");
    picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    picture->setPicture(TagLib::ByteVector(cover.constData(), unsigned(cover.size())));
    tag->addFrame(picture);
    return f.save(TagLib::MPEG::File::ID3v2);
}

bool tagM4a(const QString& path, const DemoSong& song, const QByteArray& cover) {
    TagLib::MP4::File f(QFile::encodeName(path).constData());
    if (!f.isValid() || !f.tag()) return false;
    f.tag()->setTitle(TagLib::String(song.title, TagLib::String::UTF8));
    f.tag()->setArtist(TagLib::String(song.artist, TagLib::String::UTF8));
    TagLib::MP4::CoverArtList covers;
    covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG,
                                        TagLib::ByteVector(cover.constData(), unsigned(cover.size()))));
    f.tag()->setItem("covr", TagLib::MP4::Item(covers));
    return f.save();
}

bool encode(const QString& path, const QString& codec, int64_t bitRate, const std::vector<float>& pcm) {
    SongFileWriter::Settings settings;
    settings.codec = codec;
    settings.bitRate = bitRate;
    QString error;
    auto encoder = SongFileWriter::create(path, settings, &error);
    if (!encoder || !encoder->write(pcm.data(), int(pcm.size() / 2)) || !encoder->close()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(encoder ? encoder->lastError() : error));
        return false;
    }
    return true;
}

// The M4A goes the ringtone's way: a WAV exported with the AppleM4A preset.
bool exportM4a(const QString& wav, const QString& path) {
    QFile::remove(path);
    auto session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(wav)),
                                                                AVAssetExportPresetAppleM4A);
    session->setOutputURL(QUrl::fromLocalFile(path));
    session->setOutputFileType(AVFileTypeAppleM4A);
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    session->exportAsynchronouslyWithCompletionHandler([&] {
        std::lock_guard lock(m);
        done = true;
        cv.notify_all();
    });
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return done; });
    if (session->status() != AVAssetExportSessionStatusCompleted) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(session->error().localizedDescription));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const DemoSong songs[] = {
        {"Morning Ringlet.mp3", "Morning Ringlet", "Quorvel Demo Band", {42.0, 104.0, 62, false, 7}, 0xffe8a33d, 0xff7a3b8f},
        {"Copper Bells.m4a", "Copper Bells", "Quorvel Demo Band", {48.0, 92.0, 57, true, 11}, 0xff2f8f83, 0xff1d2d5c},
        {"Tram at Dusk.mp3", "Tram at Dusk", "The Placeholders", {36.0, 120.0, 65, false, 23}, 0xffd94f4f, 0xff402060},
    };
    for (const DemoSong& song : songs) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(song.file);
        // Written under a hidden name first, so a failed run leaves no half song.
        const QString partial = folder + QStringLiteral("/.partial-") + QLatin1String(song.file);
        const std::vector<float> pcm = demo::DemoSynth::render(song.style, kRate);
        const QByteArray cover = artwork(song.from, song.to, song.style.seed);
        bool ok;
        if (path.endsWith(QLatin1String(".mp3"))) {
            QFile::remove(partial);
            ok = encode(partial, QStringLiteral("libmp3lame"), 192000, pcm) && tagMp3(partial, song, cover);
        } else {
            const QString wav = folder + QStringLiteral("/.partial.wav");
            QFile::remove(wav);
            ok = encode(wav, QStringLiteral("pcm_s16le"), 0, pcm) && exportM4a(wav, partial) && tagM4a(partial, song, cover);
            QFile::remove(wav);
        }
        QFile::remove(path);
        if (!ok || !QFile::rename(partial, path)) {
            QFile::remove(partial);
            std::fprintf(stderr, "could not make %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
