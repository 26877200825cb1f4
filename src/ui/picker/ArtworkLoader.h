#pragma once
// Reads songs' cover pictures on a worker thread, newest request first, so
// the rows on screen come before the ones scrolled past. Results come back
// on the main thread through artworkLoaded(). The worker is joined when the
// loader is destroyed; results still queued then are dropped.
#include "platform/musiclibrary/MPMediaItem.h"

#include <QImage>
#include <QObject>
#include <QSet>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quorvel {

class ArtworkLoader : public QObject {
    Q_OBJECT
public:
    explicit ArtworkLoader(QSize size, QObject* parent = nullptr);
    ~ArtworkLoader() override;

    // Asks for the cover of `item`; a repeated request is merged with the pending one.
    void request(const MPMediaItem& item);
    // Forgets every pending request (the list changed).
    void clear();

signals:
    // A null image when the song has no cover.
    void artworkLoaded(quint64 persistentID, const QImage& image);

private:
    void run();

    static constexpr size_t kMaxPending = 200;
    const QSize size_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<MPMediaItem> pending_;
    QSet<quint64> queued_;
    bool stop_ = false;
    std::thread worker_;
};

} // namespace quorvel
