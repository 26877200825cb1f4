#include "MPMediaItem.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

namespace quorvel {

namespace {

QString fromTag(const TagLib::String& s) { return QString::fromStdWString(s.toWString()).trimmed(); }

QByteArray coverFromID3(TagLib::ID3v2::Tag* tag) {
    if (!tag) return {};
    const auto frames = tag->frameListMap()["APIC"];
    TagLib::ID3v2::AttachedPictureFrame* chosen = nullptr;
    for (auto* f : frames) {
        auto* pic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(f);
        if (!pic) continue;
        // The front cover wins; any picture is better than none.
        if (!chosen || pic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) chosen = pic;
        if (pic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) break;
    }
    if (!chosen) return {};
    const TagLib::ByteVector data = chosen->picture();
    return QByteArray(data.data(), int(data.size()));
}

QByteArray coverData(const QString& path, const QString& extension) {
    const QByteArray local = QFile::encodeName(path);
    if (extension == QLatin1String("mp3")) {
        TagLib::MPEG::File f(local.constData(), false);
        return f.isValid() ? coverFromID3(f.ID3v2Tag()) : QByteArray();
    }
    if (extension == QLatin1String("wav")) {
        TagLib::RIFF::WAV::File f(local.constData(), false);
        return f.isValid() && f.hasID3v2Tag() ? coverFromID3(f.ID3v2Tag()) : QByteArray();
    }
    if (extension == QLatin1String("aif") || extension == QLatin1String("aiff")) {
        TagLib::RIFF::AIFF::File f(local.constData(), false);
        return f.isValid() && f.hasID3v2Tag() ? coverFromID3(f.tag()) : QByteArray();
    }
    TagLib::MP4::File f(local.constData(), false);
    if (!f.isValid() || !f.tag()) return {};
    const TagLib::MP4::Item item = f.tag()->item("covr");
    if (!item.isValid()) return {};
    const TagLib::MP4::CoverArtList covers = item.toCoverArtList();
    if (covers.isEmpty()) return {};
    const TagLib::ByteVector data = covers.front().data();
    return QByteArray(data.data(), int(data.size()));
}

} // namespace

QString MPMediaItem::libraryExtensionForFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    static const QStringList known = {QStringLiteral("mp3"), QStringLiteral("m4a"), QStringLiteral("m4v"),
                                      QStringLiteral("wav"), QStringLiteral("aif"), QStringLiteral("aiff"),
                                      QStringLiteral("m4p")};
    return known.contains(suffix) ? suffix : QString();
}

uint64_t MPMediaItem::persistentIDForPath(const QString& canonicalPath) {
    // FNV-1a over the UTF-8 path, kept to 63 bits so the id is a positive
    // number wherever it is parsed as signed.
    uint64_t h = 14695981039346656037ull;
    for (char c : canonicalPath.toUtf8()) {
        h ^= uint8_t(c);
        h *= 1099511628211ull;
    }
    h &= 0x7fffffffffffffffull;
    return h ? h : 1;
}

QUrl MPMediaItem::assetURLFor(uint64_t persistentID, const QString& extension) {
    return QUrl(QStringLiteral("ipod-library://item/item.%1?id=%2").arg(extension).arg(persistentID));
}

MPMediaItem MPMediaItem::itemWithFile(const QString& path) {
    MPMediaItem item;
    const QFileInfo info(path);
    const QString extension = libraryExtensionForFile(path);
    if (extension.isEmpty() || !info.isFile()) return item;
    item.path_ = info.canonicalFilePath();
    item.extension_ = extension;
    item.id_ = persistentIDForPath(item.path_);
    item.url_ = assetURLFor(item.id_, extension);
    const QByteArray local = QFile::encodeName(item.path_);
    // The headers' own length (no decoding), for the picker's length column.
    TagLib::FileRef ref(local.constData(), true, TagLib::AudioProperties::Fast);
    if (!ref.isNull() && ref.tag()) {
        item.title_ = fromTag(ref.tag()->title());
        item.artist_ = fromTag(ref.tag()->artist());
    }
    if (!ref.isNull() && ref.audioProperties())
        item.duration_ = std::max(0, ref.audioProperties()->lengthInMilliseconds()) / 1000.0;
    if (item.title_.isEmpty()) item.title_ = info.completeBaseName();
    return item;
}

QImage MPMediaItem::artworkImageWithSize(const QSize& size) const {
    if (path_.isEmpty()) return {};
    QImage image = QImage::fromData(coverData(path_, extension_));
    if (image.isNull() || !size.isValid() || size.isEmpty()) return image;
    return image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QString describe(const MPMediaItem& item) {
    return QStringLiteral("<MPMediaItem %1 \"%2\" by \"%3\" %4>")
        .arg(item.assetURL().toString(), item.title(), item.artist(), item.filePath());
}

} // namespace quorvel
