#include "ui/common/ModalPanel.h"

#include "ui/common/ScreenStack.h"

#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace quorvel {

namespace {
const char* kButtonStyle =
    "QPushButton { color: white; font-weight: %1; min-height: 26px; padding: 4px 10px;"
    " border: 1px solid rgba(255,255,255,110); border-radius: 7px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %2, stop:0.5 %3, stop:1 %4); }"
    "QPushButton:pressed { background: rgba(255,255,255,60); }"
    "QPushButton:focus { border: 1px solid rgba(255,255,255,230); }";
} // namespace

ModalPanel::ModalPanel(ScreenStack* stack, ClickHandler clicked)
    : QWidget(stack), stack_(stack), clicked_(std::move(clicked)) {
    setAttribute(Qt::WA_DeleteOnClose);
    hide();
}

QPushButton* ModalPanel::makeButton(const QString& title, int index, bool emphasised, bool destructive) {
    auto* b = new QPushButton(title, this);
    b->setObjectName(QStringLiteral("alertButton%1").arg(index));
    b->setCursor(Qt::PointingHandCursor);
    const QString style = destructive
                              ? QString::fromLatin1(kButtonStyle).arg("bold", "#e8736d", "#d2332b", "#b3201a")
                          : emphasised ? QString::fromLatin1(kButtonStyle).arg("bold", "#7d93b8", "#4d6896", "#3c5886")
                                       : QString::fromLatin1(kButtonStyle).arg("normal", "#8094b4", "#5a7099", "#4a618c");
    b->setStyleSheet(style);
    connect(b, &QPushButton::clicked, this, [this, index] { close(index, true); });
    if (buttons_.size() <= index) buttons_.resize(index + 1);
    buttons_[index] = b;
    return b;
}

QPushButton* ModalPanel::button(int index) const {
    return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

void ModalPanel::open(int escapeIndex) {
    if (!stack_) return;
    stack_->addModalOverlay(this);
    if (escapeIndex >= 0)
        stack_->setOverlayEscape(this, [this, escapeIndex] { close(escapeIndex, true); });
    // The first button takes the keyboard, as the default choice.
    for (QPushButton* b : buttons_)
        if (b) {
            b->setDefault(true);
            b->setFocus(Qt::OtherFocusReason);
            break;
        }
}

void ModalPanel::dismissWithClickedButtonIndex(int index, bool) { close(index, false); }

void ModalPanel::escapeWithoutChoice() {
    if (stack_ && !closed_) stack_->setOverlayEscape(this, [this] { close(-1, true); });
}

void ModalPanel::close(int index, bool notify) {
    if (closed_) return;
    closed_ = true;
    hide();
    if (stack_) stack_->removeModalOverlay(this);
    ClickHandler handler = std::move(clicked_);
    emit dismissed(index);
    deleteLater();
    if (notify && handler) handler(index);
}

void ModalPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0, 0, 0, 110));
    const QRectF panel = QRectF(panelRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(panel, 10, 10);
    QLinearGradient fill(panel.topLeft(), panel.bottomLeft());
    fill.setColorAt(0.0, QColor(38, 58, 104));
    fill.setColorAt(1.0, QColor(14, 26, 58));
    p.fillPath(path, fill);
    // The glossy upper half and a light rim.
    QPainterPath gloss;
    gloss.addRoundedRect(panel.adjusted(2, 2, -2, -panel.height() / 2), 8, 8);
    p.fillPath(gloss, QColor(255, 255, 255, 22));
    p.setPen(QPen(QColor(255, 255, 255, 170), 1.5));
    p.drawPath(path);
}

} // namespace quorvel
