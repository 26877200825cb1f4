#include "ui/picker/SongTableModel.h"

#include "platform/core/Paths.h"
#include "ui/picker/ArtworkLoader.h"

#include <QImage>

namespace quorvel {

namespace {
QString folded(const QString& s) { return s.toCaseFolded(); }
} // namespace

SongTableModel::SongTableModel(QObject* parent)
    : QAbstractTableModel(parent),
      // Covers drawn at up to twice the cell's size stay sharp on a scaled window.
      loader_(new ArtworkLoader(QSize(kArtworkSide * 2, kArtworkSide * 2), this)),
      covers_(4000) {
    connect(loader_, &ArtworkLoader::artworkLoaded, this, &SongTableModel::artworkLoaded);
    const QImage none(Paths::imagePath(QStringLiteral("no_artwork.png")));
    if (!none.isNull())
        placeholder_ = QPixmap::fromImage(
            none.scaled(kArtworkSide * 2, kArtworkSide * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    placeholder_.setDevicePixelRatio(2.0);
}

SongTableModel::~SongTableModel() = default;

void SongTableModel::setItems(std::vector<MPMediaItem> items) {
    beginResetModel();
    loader_->clear();
    items_ = std::move(items);
    haystacks_.clear();
    haystacks_.reserve(items_.size());
    indexOf_.clear();
    indexOf_.reserve(int(items_.size()));
    for (size_t i = 0; i < items_.size(); ++i) {
        haystacks_.push_back(folded(items_[i].title() + QLatin1Char('\n') + items_[i].artist()));
        indexOf_.insert(items_[i].persistentID(), i);
    }
    visible_.clear();
    const QString needle = folded(filter_);
    for (size_t i = 0; i < items_.size(); ++i)
        if (needle.isEmpty() || haystacks_[i].contains(needle)) visible_.push_back(i);
    endResetModel();
}

void SongTableModel::setFilterText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed == filter_) return;
    beginResetModel();
    loader_->clear();
    filter_ = trimmed;
    const QString needle = folded(filter_);
    visible_.clear();
    for (size_t i = 0; i < items_.size(); ++i)
        if (needle.isEmpty() || haystacks_[i].contains(needle)) visible_.push_back(i);
    endResetModel();
}

int SongTableModel::rowOf(quint64 persistentID) const {
    const auto it = indexOf_.constFind(persistentID);
    if (it == indexOf_.constEnd()) return -1;
    const auto pos = std::lower_bound(visible_.begin(), visible_.end(), it.value());
    return pos != visible_.end() && *pos == it.value() ? int(pos - visible_.begin()) : -1;
}

QString SongTableModel::lengthText(double seconds) {
    if (!(seconds > 0)) return QStringLiteral("–");
    const long long total = static_cast<long long>(seconds + 0.5);
    if (total >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(total / 3600)
            .arg(total / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(total % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(total / 60).arg(total % 60, 2, 10, QLatin1Char('0'));
}

int SongTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(visible_.size());
}

int SongTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant SongTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(visible_.size())) return {};
    const MPMediaItem& item = itemAt(index.row());
    switch (index.column()) {
    case TitleColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return item.title();
        break;
    case ArtistColumn:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return item.artist();
        break;
    case LengthColumn:
        if (role == Qt::DisplayRole) return lengthText(item.playbackDuration());
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case ArtworkColumn:
        if (role == Qt::DecorationRole) return artwork(item);
        if (role == Qt::SizeHintRole) return QSize(kArtworkSide + 8, kArtworkSide + 4);
        break;
    default: break;
    }
    return {};
}

QVariant SongTableModel::artwork(const MPMediaItem& item) const {
    if (const QPixmap* cover = covers_.object(item.persistentID()))
        return cover->isNull() ? placeholder_ : *cover;
    loader_->request(item);
    return placeholder_;
}

void SongTableModel::artworkLoaded(quint64 id, const QImage& image) {
    QPixmap cover = QPixmap::fromImage(image);
    cover.setDevicePixelRatio(2.0);
    covers_.insert(id, new QPixmap(std::move(cover)), 1);
    const int row = rowOf(id);
    if (row < 0) return;
    const QModelIndex cell = index(row, ArtworkColumn);
    emit dataChanged(cell, cell, {Qt::DecorationRole});
}

QVariant SongTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case TitleColumn: return tr("Title");
    case ArtistColumn: return tr("Artist");
    case LengthColumn: return tr("Length");
    case ArtworkColumn: return tr("Artwork");
    default: return {};
    }
}

} // namespace quorvel
