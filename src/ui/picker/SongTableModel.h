#pragma once
// The picker's table: title, artist, length and artwork of the library's
// songs, narrowed by a search text (title or artist containing it, ignoring
// case). Covers are read lazily, only for rows the view asks about.
#include "platform/musiclibrary/MPMediaItem.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QHash>
#include <QPixmap>
#include <vector>

namespace quorvel {

class ArtworkLoader;

class SongTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TitleColumn, ArtistColumn, LengthColumn, ArtworkColumn, ColumnCount };
    static constexpr int kArtworkSide = 36;

    explicit SongTableModel(QObject* parent = nullptr);
    ~SongTableModel() override;

    void setItems(std::vector<MPMediaItem> items);
    void setFilterText(const QString& text);
    const QString& filterText() const { return filter_; }

    const MPMediaItem& itemAt(int row) const { return items_[visible_[size_t(row)]]; }
    int totalCount() const { return int(items_.size()); }
    // The visible row of a song, or -1.
    int rowOf(quint64 persistentID) const;

    static QString lengthText(double seconds);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void artworkLoaded(quint64 id, const QImage& image);
    QVariant artwork(const MPMediaItem& item) const;

    std::vector<MPMediaItem> items_;
    std::vector<QString> haystacks_; // folded "title\nartist", one per item
    std::vector<size_t> visible_;
    QHash<quint64, size_t> indexOf_;
    QString filter_;
    ArtworkLoader* loader_;
    mutable QCache<quint64, QPixmap> covers_;
    QPixmap placeholder_;
};

} // namespace quorvel
