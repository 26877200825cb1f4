#include "ui/controls/UIImage.h"

#include "platform/core/Paths.h"

#include <QFileInfo>
#include <QGuiApplication>

namespace quorvel {

QPixmap UIImage::imageNamed(const QString& name) {
    const qreal ratio = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                            ? qGuiApp->devicePixelRatio()
                            : 1.0;
    return imageNamed(name, ratio);
}

QPixmap UIImage::imageNamed(const QString& name, qreal devicePixelRatio) {
    const QString path = Paths::imagePath(name);
    if (devicePixelRatio > 1.0) {
        const QFileInfo file(path);
        const QString doubled = file.path() + QLatin1Char('/') + file.completeBaseName() + QStringLiteral("@2x.") +
                                file.suffix();
        QPixmap pixmap;
        if (QFileInfo::exists(doubled) && pixmap.load(doubled)) {
            pixmap.setDevicePixelRatio(2.0);
            return pixmap;
        }
    }
    return QPixmap(path);
}

QSizeF UIImage::pointSize(const QPixmap& pixmap) {
    if (pixmap.isNull()) return QSizeF(0, 0);
    return QSizeF(pixmap.size()) / pixmap.devicePixelRatio();
}

} // namespace quorvel
