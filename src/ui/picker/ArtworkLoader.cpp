#include "ui/picker/ArtworkLoader.h"

#include "platform/core/VectorState.h"

#include <QMetaObject>

namespace quorvel {

ArtworkLoader::ArtworkLoader(QSize size, QObject* parent) : QObject(parent), size_(size) {
    worker_ = std::thread([this] { run(); });
}

ArtworkLoader::~ArtworkLoader() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void ArtworkLoader::request(const MPMediaItem& item) {
    {
        std::lock_guard lock(mutex_);
        if (queued_.contains(item.persistentID())) return;
        queued_.insert(item.persistentID());
        pending_.push_back(item);
        // Rows long scrolled past are not worth reading any more.
        while (pending_.size() > kMaxPending) {
            queued_.remove(pending_.front().persistentID());
            pending_.pop_front();
        }
    }
    wake_.notify_one();
}

void ArtworkLoader::clear() {
    std::lock_guard lock(mutex_);
    pending_.clear();
    queued_.clear();
}

void ArtworkLoader::run() {
    clearUpperVectorState(); // not the starter's stale state
    for (;;) {
        MPMediaItem item;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !pending_.empty(); });
            if (stop_) return;
            item = pending_.back();
            pending_.pop_back();
        }
        QImage image = item.artworkImageWithSize(size_);
        const quint64 id = item.persistentID();
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            queued_.remove(id);
        }
        // Queued to the loader's own (main) thread; dropped if the loader is gone by then.
        QMetaObject::invokeMethod(
            this, [this, id, image = std::move(image)] { emit artworkLoaded(id, image); }, Qt::QueuedConnection);
    }
}

} // namespace quorvel
