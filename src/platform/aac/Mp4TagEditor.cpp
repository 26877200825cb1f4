#include "platform/aac/Mp4TagEditor.h"

#include <QFile>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

namespace quorvel {

namespace {
const TagLib::String kComment("\251cmt");
const TagLib::String kMediaType("stik");
} // namespace

struct Mp4TagEditor::Impl {
    QByteArray path;
    std::unique_ptr<TagLib::MP4::File> file;
};

Mp4TagEditor::Mp4TagEditor() : d(std::make_unique<Impl>()) {}
Mp4TagEditor::~Mp4TagEditor() = default;

std::unique_ptr<Mp4TagEditor> Mp4TagEditor::modify(const QString& path) {
    std::unique_ptr<Mp4TagEditor> editor(new Mp4TagEditor());
    editor->d->path = QFile::encodeName(path);
    if (editor->d->path.isEmpty() || !QFile::exists(path)) return nullptr;
    // Audio properties are not needed to rewrite tags.
    editor->d->file = std::make_unique<TagLib::MP4::File>(editor->d->path.constData(), false);
    const auto& f = *editor->d->file;
    if (!f.isOpen() || !f.isValid() || f.readOnly() || !editor->d->file->tag()) return nullptr;
    return editor;
}

std::optional<QString> Mp4TagEditor::comments() const {
    const TagLib::MP4::Tag* tag = d->file->tag();
    if (!tag->contains(kComment)) return std::nullopt;
    TagLib::StringList list = tag->item(kComment).toStringList();
    if (list.isEmpty()) return std::nullopt;
    return QString::fromStdString(list.front().to8Bit(true));
}

std::optional<uint8_t> Mp4TagEditor::mediaType() const {
    const TagLib::MP4::Tag* tag = d->file->tag();
    if (!tag->contains(kMediaType)) return std::nullopt;
    return tag->item(kMediaType).toByte();
}

void Mp4TagEditor::setComments(const QString& comments) {
    d->file->tag()->setItem(kComment, TagLib::StringList(TagLib::String(comments.toStdString(), TagLib::String::UTF8)));
}

void Mp4TagEditor::setMediaType(uint8_t mediaType) {
    d->file->tag()->setItem(kMediaType, TagLib::MP4::Item(static_cast<unsigned char>(mediaType)));
}

bool Mp4TagEditor::store() { return d->file->save(); }

} // namespace quorvel
