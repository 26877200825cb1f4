#include "EditorPage.h"

#include <QPainter>

namespace quorvel {

EditorPage::EditorPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MainView"));
    setFocusPolicy(Qt::StrongFocus);
}

void EditorPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0.0, QColor(28, 30, 36));
    fill.setColorAt(1.0, QColor(8, 9, 12));
    p.fillRect(rect(), fill);
}

} // namespace quorvel
