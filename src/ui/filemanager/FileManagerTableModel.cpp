#include "ui/filemanager/FileManagerTableModel.h"

#include <algorithm>

namespace quorvel {

FileManagerTableModel::FileManagerTableModel(FileManagerViewController& controller, QObject* parent)
    : QAbstractListModel(parent), controller_(controller) {
    clock_.start();
}

int FileManagerTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count_; }

FMCellContent FileManagerTableModel::content(int row) const { return controller_.configureCell({0, row}); }

QVariant FileManagerTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count_) return {};
    if (role == OpacityRole) return opacity(index);
    if (role == Qt::SizeHintRole) return QSize(320, FileManagerViewController::kRowHeight);
    const FMCellContent cell = content(index.row());
    switch (role) {
    case Qt::DisplayRole: return cell.title;
    case ArtistRole: return cell.artist;
    case DurationTextRole: return cell.duration;
    case DurationShownRole: return cell.durationShown;
    case ImageDataRole: return cell.image;
    case FileRole: return cell.file;
    default: return {};
    }
}

std::optional<FMCellContent> FileManagerTableModel::paintedContent(int row) const {
    auto it = painted_.constFind(row);
    if (it == painted_.constEnd()) return std::nullopt;
    return it.value();
}

void FileManagerTableModel::notePainted(int row, const FMCellContent& content) const {
    // Only what is on screen matters; a long scroll starts afresh.
    if (painted_.size() > 256) painted_.clear();
    painted_.insert(row, content);
}

qreal FileManagerTableModel::opacity(const QModelIndex& index) const {
    auto it = fading_.constFind(QPersistentModelIndex(index));
    if (it == fading_.constEnd()) return 1.0;
    const qint64 elapsed = clock_.elapsed() - it.value();
    if (elapsed >= kFadeMs) {
        const_cast<FileManagerTableModel*>(this)->fading_.remove(QPersistentModelIndex(index));
        return 1.0;
    }
    return qreal(elapsed) / kFadeMs;
}

void FileManagerTableModel::reloadData() {
    beginResetModel();
    count_ = controller_.numberOfRowsInSection(0);
    inserted_.clear();
    deleted_.clear();
    reset_ = false;
    fading_.clear();
    painted_.clear();
    endResetModel();
}

void FileManagerTableModel::beginUpdates() { ++batchDepth_; }

void FileManagerTableModel::endUpdates() {
    if (batchDepth_ > 0 && --batchDepth_ > 0) return;
    apply();
}

void FileManagerTableModel::insertRow(int row) {
    inserted_.push_back(row);
    if (batchDepth_ == 0) apply();
}

void FileManagerTableModel::deleteRow(int row) {
    deleted_.push_back(row);
    if (batchDepth_ == 0) apply();
}

void FileManagerTableModel::reloadSection() {
    reset_ = true;
    if (batchDepth_ == 0) apply();
}

void FileManagerTableModel::apply() {
    std::vector<int> deleted = std::move(deleted_);
    std::vector<int> inserted = std::move(inserted_);
    deleted_.clear();
    inserted_.clear();
    std::sort(deleted.begin(), deleted.end(), std::greater<>());
    deleted.erase(std::unique(deleted.begin(), deleted.end()), deleted.end());
    std::sort(inserted.begin(), inserted.end());
    inserted.erase(std::unique(inserted.begin(), inserted.end()), inserted.end());
    const int target = controller_.numberOfRowsInSection(0);
    const bool consistent = count_ - int(deleted.size()) + int(inserted.size()) == target &&
                            std::all_of(deleted.begin(), deleted.end(), [this](int r) { return r >= 0 && r < count_; });
    if (!deleted.empty()) emit rowsWillBeDeleted(deleted);
    painted_.clear();
    if (reset_ || !consistent) {
        reset_ = false;
        beginResetModel();
        count_ = target;
        fading_.clear();
        endResetModel();
        return;
    }
    for (int row : deleted) {
        beginRemoveRows({}, row, row);
        --count_;
        endRemoveRows();
    }
    for (int row : inserted) {
        const int at = std::clamp(row, 0, count_);
        beginInsertRows({}, at, at);
        ++count_;
        endInsertRows();
        fading_.insert(QPersistentModelIndex(index(at)), clock_.elapsed());
    }
}

} // namespace quorvel
