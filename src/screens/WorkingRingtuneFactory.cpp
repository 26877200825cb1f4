#include "screens/WorkingRingtuneFactory.h"

#include "editor/Ringtune.h"
#include "platform/core/LocalizedStrings.h"

#include <QFileInfo>

namespace quorvel {

namespace {

QString extensionOf(const QUrl& url) { return QFileInfo(url.path()).suffix(); }

} // namespace

bool WorkingRingtuneFactory::isProtected(const MPMediaItem& item) {
    return item.assetURL().isEmpty() || extensionOf(item.assetURL()) == QLatin1String("m4p") || item.isProtected();
}

std::shared_ptr<Ringtune> WorkingRingtuneFactory::ringtuneForItem(const MPMediaItem& item, const QImage& noArtwork) {
    if (isProtected(item)) return nullptr;
    const QImage artwork = item.artworkImageWithSize(QSize(60, 60));
    auto ringtune = std::make_shared<Ringtune>(item.assetURL(), item.title(), item.artist(),
                                               artwork.isNull() ? noArtwork : artwork);
    const QString extension = extensionOf(item.assetURL());
    ringtune->setMp4(extension == QLatin1String("m4a") || extension == QLatin1String("m4v"));
    return ringtune;
}

std::shared_ptr<Ringtune> WorkingRingtuneFactory::ringtuneForRecording(const QUrl& url, const QDateTime& when,
                                                                       const QImage& noArtwork) {
    auto ringtune =
        std::make_shared<Ringtune>(url, NSLocalizedString(QStringLiteral("recorded")), dateText(when), noArtwork);
    ringtune->setRecorded(true);
    ringtune->setMp4(false);
    return ringtune;
}

QString WorkingRingtuneFactory::dateText(const QDateTime& when) {
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
}

} // namespace quorvel
