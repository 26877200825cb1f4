#include "platform/musiclibrary/MPMediaItem.h"

#include "platform/audiofile/AudioFileDecoder.h"
#include "platform/media/AVURLAsset.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

namespace quorvel {

namespace {

QString fromTag(const TagLib::String& s) { return QString::fromStdWString(s.toWString()).trimmed(); }

QByteArray bytes(const TagLib::ByteVector& data) { return QByteArray(data.data(), int(data.size())); }

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

// FLAC picture blocks, also carried by Ogg files in their comments.
QByteArray coverFromPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    const TagLib::FLAC::Picture* chosen = nullptr;
    for (const auto* pic : pictures) {
        if (pic->type() == TagLib::FLAC::Picture::FrontCover) return bytes(pic->data());
        if (!chosen) chosen = pic;
    }
    return chosen ? bytes(chosen->data()) : QByteArray();
}

// APE tags (WavPack, Monkey's Audio, Musepack) keep a cover as a file name, a
// zero byte and the picture.
QByteArray coverFromAPE(TagLib::APE::Tag* tag) {
    if (!tag) return {};
    const auto& items = tag->itemListMap();
    for (const char* key : {"COVER ART (FRONT)", "COVER ART (OTHER)"}) {
        const auto it = items.find(key);
        if (it == items.end() || it->second.type() != TagLib::APE::Item::Binary) continue;
        const TagLib::ByteVector data = it->second.binaryData();
        const int zero = data.find(TagLib::ByteVector(1, '\0'));
        if (zero >= 0) return bytes(data.mid(unsigned(zero) + 1));
    }
    return {};
}

QByteArray coverFromASF(TagLib::ASF::Tag* tag) {
    if (!tag || !tag->contains("WM/Picture")) return {};
    QByteArray chosen;
    for (const auto& attribute : tag->attribute("WM/Picture")) {
        const TagLib::ASF::Picture pic = attribute.toPicture();
        if (!pic.isValid()) continue;
        if (pic.type() == TagLib::ASF::Picture::FrontCover) return bytes(pic.picture());
        if (chosen.isEmpty()) chosen = bytes(pic.picture());
    }
    return chosen;
}

QByteArray coverFromMP4(TagLib::MP4::Tag* tag) {
    if (!tag) return {};
    const TagLib::MP4::Item item = tag->item("covr");
    if (!item.isValid()) return {};
    const TagLib::MP4::CoverArtList covers = item.toCoverArtList();
    return covers.isEmpty() ? QByteArray() : bytes(covers.front().data());
}

// The cover of a song in one of the decoded formats: TagLib picks the file
// type, the picture lives where that type keeps it.
QByteArray coverOfDecodedFormat(const QByteArray& local) {
    TagLib::FileRef ref(local.constData(), false);
    TagLib::File* file = ref.file();
    if (!file || !file->isValid()) return {};
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        QByteArray cover = coverFromPictures(flac->pictureList());
        if (cover.isEmpty() && flac->hasXiphComment()) cover = coverFromPictures(flac->xiphComment()->pictureList());
        if (cover.isEmpty() && flac->hasID3v2Tag()) cover = coverFromID3(flac->ID3v2Tag());
        return cover;
    }
    if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag())) return coverFromPictures(xiph->pictureList());
    if (auto* wv = dynamic_cast<TagLib::WavPack::File*>(file)) return coverFromAPE(wv->APETag());
    if (auto* ape = dynamic_cast<TagLib::APE::File*>(file)) return coverFromAPE(ape->APETag());
    if (auto* mpc = dynamic_cast<TagLib::MPC::File*>(file)) return coverFromAPE(mpc->APETag());
    if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file)) return coverFromASF(asf->tag());
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) return coverFromMP4(mp4->tag());
    if (auto* tta = dynamic_cast<TagLib::TrueAudio::File*>(file)) return tta->hasID3v2Tag() ? coverFromID3(tta->ID3v2Tag()) : QByteArray();
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) return coverFromID3(mpeg->ID3v2Tag());
    return {};
}

QByteArray coverData(const QString& path, const QString& extension, const QString& decodedFormat) {
    const QByteArray local = QFile::encodeName(path);
    if (!decodedFormat.isEmpty()) return coverOfDecodedFormat(local);
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
    return f.isValid() ? coverFromMP4(f.tag()) : QByteArray();
}

// Whether the importer can copy audio of `codec` into a file of the library
// `extension` and the pipeline read it back: other songs are decoded first.
bool copiesInto(const QString& extension, const QString& codec) {
    if (extension == QLatin1String("mp3")) return codec == QLatin1String("mp3");
    if (extension == QLatin1String("m4a") || extension == QLatin1String("m4v")) return codec == QLatin1String("aac");
    if (extension == QLatin1String("wav") || extension == QLatin1String("aif") || extension == QLatin1String("aiff"))
        return codec.startsWith(QLatin1String("pcm_"));
    return true;
}

// Whether the decoder finds audio in the file that it can decode.
bool holdsDecodableAudio(const QString& path) {
    OSStatus status = noErr;
    return AudioFileDecoder::open(path, &status) != nullptr;
}

} // namespace

QString MPMediaItem::libraryExtensionForFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    static const QStringList known = {QStringLiteral("mp3"), QStringLiteral("m4a"), QStringLiteral("m4v"),
                                      QStringLiteral("wav"), QStringLiteral("aif"), QStringLiteral("aiff"),
                                      QStringLiteral("m4p")};
    return known.contains(suffix) ? suffix : QString();
}

QString MPMediaItem::decodedFormatForFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    // Audio formats the decoder's demuxers read, outside the importer's table.
    static const QStringList decoded = {
        QStringLiteral("flac"), QStringLiteral("ogg"),  QStringLiteral("oga"),  QStringLiteral("opus"),
        QStringLiteral("spx"),  QStringLiteral("wv"),   QStringLiteral("aac"),  QStringLiteral("adts"),
        QStringLiteral("ac3"),  QStringLiteral("eac3"), QStringLiteral("mka"),  QStringLiteral("webm"),
        QStringLiteral("weba"), QStringLiteral("ape"),  QStringLiteral("wma"),  QStringLiteral("dts"),
        QStringLiteral("tta"),  QStringLiteral("mpc"),  QStringLiteral("caf"),  QStringLiteral("au"),
        QStringLiteral("snd"),  QStringLiteral("w64"),  QStringLiteral("amr"),  QStringLiteral("aifc"),
        QStringLiteral("mp2"),  QStringLiteral("mpa"),  QStringLiteral("m4b"),  QStringLiteral("mp4"),
        QStringLiteral("3gp"),  QStringLiteral("voc"),  QStringLiteral("oma"),  QStringLiteral("dsf")};
    return decoded.contains(suffix) ? suffix : QString();
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
    QString extension = libraryExtensionForFile(path);
    QString decodedFormat;
    if (extension.isEmpty()) {
        decodedFormat = decodedFormatForFile(path);
        if (decodedFormat.isEmpty()) return item;
        extension = QStringLiteral("wav");
    }
    if (!info.isFile()) return item;
    // The audio as the decoder finds it: its codec decides whether the song
    // can be copied under its extension, and its length is the one listed.
    const auto asset = AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(info.canonicalFilePath()));
    const auto tracks = asset->tracksWithMediaType(AVMediaTypeAudio);
    if (decodedFormat.isEmpty() && extension != QLatin1String("m4p") && !tracks.empty() &&
        !copiesInto(extension, tracks.front().codecName) && holdsDecodableAudio(info.canonicalFilePath())) {
        // E-AC-3 or FLAC in an ".m4a", A-law in a ".wav": decoded like a FLAC song.
        decodedFormat = info.suffix().toLower();
        extension = QStringLiteral("wav");
    } else if (!decodedFormat.isEmpty() && !holdsDecodableAudio(info.canonicalFilePath())) {
        // Songs the library decodes itself must decode: a damaged one is not listed.
        return item;
    }
    item.path_ = info.canonicalFilePath();
    item.extension_ = extension;
    item.decodedFormat_ = decodedFormat;
    item.id_ = persistentIDForPath(item.path_);
    item.url_ = assetURLFor(item.id_, extension);
    const QByteArray local = QFile::encodeName(item.path_);
    TagLib::FileRef ref(local.constData(), false);
    if (!ref.isNull() && ref.tag()) {
        item.title_ = fromTag(ref.tag()->title());
        item.artist_ = fromTag(ref.tag()->artist());
    }
    const double seconds = CMTimeGetSeconds(asset->duration());
    item.duration_ = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    if (item.title_.isEmpty()) item.title_ = info.completeBaseName();
    return item;
}

QImage MPMediaItem::artworkImageWithSize(const QSize& size) const {
    if (path_.isEmpty()) return {};
    QImage image = QImage::fromData(coverData(path_, extension_, decodedFormat_));
    if (image.isNull() || !size.isValid() || size.isEmpty()) return image;
    return image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QString describe(const MPMediaItem& item) {
    return QStringLiteral("<MPMediaItem %1 \"%2\" by \"%3\" %4>")
        .arg(item.assetURL().toString(), item.title(), item.artist(), item.filePath());
}

} // namespace quorvel
