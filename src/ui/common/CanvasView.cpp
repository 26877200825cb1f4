#include "ui/common/CanvasView.h"

#include "ui/common/ScreenStack.h"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QWindow>
#include <algorithm>

namespace quorvel {

CanvasView::CanvasView(ScreenStack* stack, QWidget* parent) : QGraphicsView(parent), stack_(stack) {
    setObjectName(QStringLiteral("canvasView"));
    auto* scene = new QGraphicsScene(this);
    scene->setSceneRect(0, 0, ScreenStack::kWidth, ScreenStack::kHeight);
    scene->setBackgroundBrush(Qt::black);
    setScene(scene);
    stack_->setParent(nullptr);
    stack_->resize(ScreenStack::kWidth, ScreenStack::kHeight);
    proxy_ = scene->addWidget(stack_);
    proxy_->setPos(0, 0);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignCenter);
    setBackgroundBrush(Qt::black);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    // Dropped files are the window's business.
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    setScale(1.0);
    scene->setFocusItem(proxy_);
}

CanvasView::~CanvasView() = default;

void CanvasView::setScale(qreal scale) {
    preferredScale_ = scale;
    updateGeometry();
    if (!isVisible()) {
        // Shown at this scale until the window lays it out.
        resize(sizeHint());
        fitToSize();
    }
}

QSize CanvasView::sizeHint() const {
    return {qRound(ScreenStack::kWidth * preferredScale_), qRound(ScreenStack::kHeight * preferredScale_)};
}

// Half size: the smallest that still shows every text.
QSize CanvasView::minimumSizeHint() const { return {ScreenStack::kWidth / 2, ScreenStack::kHeight / 2}; }

void CanvasView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    fitToSize();
}

void CanvasView::fitToSize() {
    const qreal fit = std::min(width() / qreal(ScreenStack::kWidth), height() / qreal(ScreenStack::kHeight));
    if (fit <= 0 || qFuzzyCompare(fit, scale_)) return;
    scale_ = fit;
    setTransform(QTransform::fromScale(fit, fit));
    updateRenderScale();
    emit scaleChanged(fit);
}

void CanvasView::updateRenderScale() { stack_->setRenderScale(scale_ * devicePixelRatioF()); }

void CanvasView::paintEvent(QPaintEvent* event) {
    QGraphicsView::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

void CanvasView::showEvent(QShowEvent* event) {
    QGraphicsView::showEvent(event);
    updateRenderScale();
}

void CanvasView::changeEvent(QEvent* event) {
    QGraphicsView::changeEvent(event);
    if (event->type() == QEvent::ScreenChangeInternal)
        updateRenderScale();
}

} // namespace quorvel
