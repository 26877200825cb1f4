#pragma once
// The one place that makes a working ringtone from a pick: a library song,
// or the microphone recording. The editor then copies its speed and pitch
// positions into it.
#include "platform/musiclibrary/MPMediaItem.h"

#include <QDateTime>
#include <QImage>
#include <QUrl>
#include <memory>

namespace quorvel {

class Ringtune;

class WorkingRingtuneFactory {
public:
    // A missing asset URL, or one whose extension is "m4p", is a protected
    // song that cannot become a ringtone.
    static bool isProtected(const MPMediaItem& item);
    // Title, artist and 60 x 60 artwork of the item (`noArtwork` when it has
    // none); MPEG-4 for "m4a" and "m4v" only. Null for a protected song.
    static std::shared_ptr<Ringtune> ringtuneForItem(const MPMediaItem& item, const QImage& noArtwork);
    // Titled "recorded", with the moment of the recording as its artist; not MPEG-4.
    static std::shared_ptr<Ringtune> ringtuneForRecording(const QUrl& url, const QDateTime& when,
                                                          const QImage& noArtwork);
    // The platform's text of a date: "2012-05-01 10:20:30 +0000" (UTC).
    static QString dateText(const QDateTime& when);

    WorkingRingtuneFactory() = delete;
};

} // namespace quorvel
