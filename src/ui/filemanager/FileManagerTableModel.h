#pragma once
// The list's rows for a QListView, read from the list presenter when painted
// (nothing is copied per row, so 10,000 rows cost nothing until shown).
// Table updates arrive in batches as the live query reports them; a batch is
// applied when it ends: deletions (old rows, bottom up), then insertions (new
// rows, top down); a section change or reload resets the rows.
#include "screens/FileManagerViewController.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QHash>
#include <QPersistentModelIndex>
#include <optional>
#include <vector>

namespace quorvel {

class FileManagerTableModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        ArtistRole = Qt::UserRole + 1,
        DurationTextRole,
        DurationShownRole,
        ImageDataRole,
        FileRole,
        OpacityRole, // of a row fading in, 0..1
    };
    static constexpr int kFadeMs = 300;

    explicit FileManagerTableModel(FileManagerViewController& controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    FMCellContent content(int row) const;
    // What a row showed when it was last painted (for its fade-out once the
    // store has already let it go); nullopt when it was not painted.
    std::optional<FMCellContent> paintedContent(int row) const;
    void notePainted(int row, const FMCellContent& content) const;

    void reloadData();
    void beginUpdates();
    void endUpdates();
    void insertRow(int row);
    void deleteRow(int row);
    void reloadSection();
    bool isFading() const { return !fading_.isEmpty(); }

signals:
    // Rows about to go, in the numbering before the batch (for their fade-out).
    void rowsWillBeDeleted(const std::vector<int>& rows);

private:
    void apply();
    qreal opacity(const QModelIndex& index) const;

    FileManagerViewController& controller_;
    int count_ = 0;
    int batchDepth_ = 0;
    std::vector<int> inserted_, deleted_;
    bool reset_ = false;
    QHash<QPersistentModelIndex, qint64> fading_;
    mutable QHash<int, FMCellContent> painted_;
    QElapsedTimer clock_;
};

} // namespace quorvel
