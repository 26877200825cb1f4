#pragma once
#include <QPixmap>
#include <QString>

namespace quorvel {

// The application's images by file name ("play.png"), from resources/images.
// On a high-density screen the "@2x" file is taken when it exists, with its
// device pixel ratio set, so sizes in points stay those of the 1x file.
class UIImage {
public:
    static QPixmap imageNamed(const QString& name);
    // As above for an explicit device pixel ratio (1 takes the 1x file).
    static QPixmap imageNamed(const QString& name, qreal devicePixelRatio);
    // Size in points (device-independent pixels) of a pixmap.
    static QSizeF pointSize(const QPixmap& pixmap);
};

} // namespace quorvel
