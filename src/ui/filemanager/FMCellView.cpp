#include "ui/filemanager/FMCellView.h"

#include "screens/FileManagerViewController.h"
#include "ui/controls/UIImage.h"

#include <QFontMetrics>
#include <QPainter>

namespace quorvel {

QRect FMCellView::frameForTag(int tag, int width) {
    switch (tag) {
    case ArtworkTag: return {8, 8, 60, 60};
    case TitleTag: return {78, 12, width - 78 - 70, 26};
    case ArtistTag: return {78, 40, width - 78 - 70, 22};
    case DurationTag: return {width - 66, 16, 58, 26};
    case DurationCaptionTag: return {width - 66, 42, 58, 18};
    default: return {};
    }
}

QString FMCellView::shownTitle(const QString& title, const QFont& font, int width) {
    return QFontMetrics(font).elidedText(title, Qt::ElideMiddle, width);
}

void FMCellView::paint(QPainter& p, const QRect& rect, const FMCellContent& content, const QPixmap& artwork,
                       bool selected) {
    static const QPixmap background = UIImage::imageNamed(QStringLiteral("fmBG.png"));
    static const QPixmap noArtwork = UIImage::imageNamed(QStringLiteral("no_artwork.png"));
    p.save();
    p.setClipRect(rect);
    if (!background.isNull()) p.drawTiledPixmap(rect, background, QPoint(0, rect.top() % 64));
    else p.fillRect(rect, QColor(24, 40, 52));
    if (selected) p.fillRect(rect, QColor(95, 224, 208, 40));
    p.setPen(QColor(0, 0, 0, 90));
    p.drawLine(rect.bottomLeft(), rect.bottomRight());

    const QPoint o = rect.topLeft();
    const int w = rect.width();
    const QRect art = frameForTag(ArtworkTag, w).translated(o);
    const QPixmap& image = artwork.isNull() ? noArtwork : artwork;
    if (!image.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(art, image);
    }

    const QRect titleRect = frameForTag(TitleTag, w).translated(o);
    QFont title = p.font();
    title.setPixelSize(17);
    title.setBold(true);
    // A long title gets smaller type before it loses its end (the number tells rows apart).
    while (title.pixelSize() > 13 && QFontMetricsF(title).horizontalAdvance(content.title) > titleRect.width() - 2)
        title.setPixelSize(title.pixelSize() - 1);
    p.setFont(title);
    p.setPen(Qt::white);
    // Elided in the middle: the counter at the end tells rows apart.
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, shownTitle(content.title, title, titleRect.width()));

    QFont artist = title;
    artist.setPixelSize(14);
    artist.setBold(false);
    p.setFont(artist);
    p.setPen(QColor(255, 255, 255, 190));
    const QRect artistRect = frameForTag(ArtistTag, w).translated(o);
    p.drawText(artistRect, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(artist).elidedText(content.artist, Qt::ElideRight, artistRect.width()));

    if (content.durationShown) {
        QFont length = title;
        length.setPixelSize(20);
        length.setBold(true);
        p.setFont(length);
        p.setPen(QColor(95, 224, 208));
        p.drawText(frameForTag(DurationTag, w).translated(o), Qt::AlignRight | Qt::AlignVCenter, content.duration);
        QFont caption = artist;
        caption.setPixelSize(12);
        p.setFont(caption);
        p.setPen(QColor(255, 255, 255, 160));
        p.drawText(frameForTag(DurationCaptionTag, w).translated(o), Qt::AlignRight | Qt::AlignVCenter,
                   durationCaption());
    }
    p.restore();
}

} // namespace quorvel
