#pragma once
// Shows the 320 x 480-point canvas (a ScreenStack) scaled for the desktop.
// The screens keep their phone geometry in points; the view scales the
// painting itself, so text and drawings stay sharp at any scale and device
// pixel ratio (bitmaps are drawn from their 2x versions where they exist).
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
    void setScale(qreal scale);
    qreal scale() const { return scale_; }

    QSize sizeHint() const override;

signals:
    // The first time the canvas has been painted on screen.
    void firstPainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateRenderScale();

    ScreenStack* stack_;
    QGraphicsProxyWidget* proxy_ = nullptr;
    qreal scale_ = 1.0;
    bool painted_ = false;
};

} // namespace quorvel
