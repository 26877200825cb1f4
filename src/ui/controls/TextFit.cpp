#include "ui/controls/TextFit.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>

namespace quorvel {

namespace {
QString textOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return {};
}

int widestLine(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}
} // namespace

int TextFit::shrinkToFit(QWidget* widget, int margin, int smallestPixelSize) {
    // The style sheet's font is the widget's once it is polished.
    widget->ensurePolished();
    QFont font = widget->font();
    const int own = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
    const QString text = textOf(widget);
    const int room = widget->width() - margin;
    int size = own;
    font.setPixelSize(size);
    while (size > smallestPixelSize && widestLine(font, text) > room) font.setPixelSize(--size);
    // A style sheet's font-size wins over setFont(): the widget gets a rule of its own.
    if (size != own) widget->setStyleSheet(widget->styleSheet() + QStringLiteral("font-size: %1px;").arg(size));
    return size;
}

} // namespace quorvel
