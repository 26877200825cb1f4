#pragma once
// Shows the 320 x 480-point canvas (a ScreenStack) scaled for the desktop:
// as large as fits the view, keeping its 2:3 shape, centred on black. The
// screens keep their phone geometry in points; the view scales the painting
// itself, so text and drawings stay sharp at any scale and device pixel ratio
// (bitmaps are drawn from their 2x versions where they exist).
#include <QGraphicsView>

class QGraphicsProxyWidget;

namespace quorvel {

class ScreenStack;

class CanvasView : public QGraphicsView {
    Q_OBJECT
public:
    explicit CanvasView(ScreenStack* stack, QWidget* parent = nullptr);
    ~CanvasView() override;

    ScreenStack* stack() const { return stack_; }
    // The scale the view asks for (its size hint); the window sizes itself by it.
    void setScale(qreal scale);
    qreal preferredScale() const { return preferredScale_; }
    // The scale shown now, which fits the view's size.
    qreal scale() const { return scale_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void scaleChanged(qreal scale);
    // The first time the canvas has been painted on screen.
    void firstPainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitToSize();
    void updateRenderScale();

    ScreenStack* stack_;
    QGraphicsProxyWidget* proxy_ = nullptr;
    qreal scale_ = 1.0;
    qreal preferredScale_ = 1.0;
    bool painted_ = false;
};

} // namespace quorvel
