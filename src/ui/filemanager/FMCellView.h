#pragma once
// The row layout "FMCellView": where each tagged subview of a 76-point row
// sits, and how a row is painted from its content (tag 2 title, tag 3 artist,
// tag 4 length with its caption tag 5, tag 8 artwork over "fmBG.png").
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;

namespace quorvel {

struct FMCellContent;

class FMCellView {
public:
    enum Tag { TitleTag = 2, ArtistTag = 3, DurationTag = 4, DurationCaptionTag = 5, ArtworkTag = 8 };
    static constexpr int kHeight = 76;

    // The subview's frame in a row of `width` points whose content starts at 0,0.
    static QRect frameForTag(int tag, int width);
    // The caption beside the length.
    static QString durationCaption() { return QStringLiteral("sec"); }

    // The title as drawn in `width` points: its middle left out when it is too long.
    static QString shownTitle(const QString& title, const QFont& font, int width);

    // Paints one row into `rect`. `artwork` is the decoded tag 8 image or null
    // (the layout's own image is drawn then).
    static void paint(QPainter& painter, const QRect& rect, const FMCellContent& content, const QPixmap& artwork,
                      bool selected);
};

} // namespace quorvel
