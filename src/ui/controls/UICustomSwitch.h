#pragma once
#include <QAbstractSlider>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QSizeF>

class QLabel;
class QVariantAnimation;

namespace quorvel {

// A two-state switch built on a slider: the thumb slides between an "on" text
// on the left and an "off" text on the right ("Fade ON" / "Fade OFF" from the
// string table by default). The control is 95 x 27 points.
//
// Gestures: a tap toggles the switch with a 0.2 s animation and sends
// valueChangedEvent() once. Dragging the thumb is the slider's own gesture
// (sliderPressed/sliderMoved/sliderReleased); when it ends the switch snaps to
// the state opposite to the one the touch began in and sends nothing itself.
//
// The slider's integer value runs from 0 (off) to kValueScale (on); it is
// not continuous (no tracking). Main thread only.
class UICustomSwitch : public QAbstractSlider {
    Q_OBJECT
    Q_PROPERTY(bool on READ isOn WRITE setOn)
    Q_PROPERTY(QColor tintColor READ tintColor WRITE setTintColor)

public:
    static constexpr int kWidth = 95;
    static constexpr int kHeight = 27;
    static constexpr int kValueScale = 1000;
    static constexpr int kAnimationMs = 200;

    // The constructor layouts use: the fixed size at the origin.
    explicit UICustomSwitch(QWidget* parent = nullptr);
    // The fixed size at `origin` (the frame's size is not the caller's to choose).
    explicit UICustomSwitch(const QPoint& origin, QWidget* parent = nullptr);
    ~UICustomSwitch() override;

    // A switch at the origin showing the given texts instead of the localised ones.
    static UICustomSwitch* switchWithLeftText(const QString& leftText, const QString& rightText,
                                              QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    void setOn(bool on);
    void setOn(bool on, bool animated);

    // The slider's value as a fraction, 0.0 (off) to 1.0 (on).
    float floatValue() const { return float(value()) / kValueScale; }

    QColor tintColor() const { return tintColor_; }
    // Tints the "on" track ("switchBlueBg.png"); the same colour again does nothing.
    void setTintColor(const QColor& color);
    // `image` with hue and saturation from `color` and luminosity from the image,
    // painted over its opaque pixels only (the "color" blend mode); an invalid
    // colour returns the image unchanged.
    static QImage image(const QImage& image, const QColor& tintedWithColor);

    // Scales the whole control by width (x) and height (y) factors.
    void scaleSwitch(const QSizeF& scale);
    QSizeF scale() const { return scale_; }

    QWidget* clippingView() const { return clippingView_; }
    QLabel* leftLabel() const { return leftLabel_; }
    QLabel* rightLabel() const { return rightLabel_; }

    // The slider's images, drawn at their size in points.
    QPixmap thumbImage() const { return thumbImage_; }
    void setThumbImage(const QPixmap& image);
    QPixmap minimumTrackImage() const { return minimumTrackImage_; }
    void setMinimumTrackImage(const QPixmap& image);
    QPixmap maximumTrackImage() const { return maximumTrackImage_; }
    void setMaximumTrackImage(const QPixmap& image);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The control's value-changed event, sent when a tap toggles the switch.
    void valueChangedEvent();

protected:
    void layoutSubviews();

    // Touch phases of the gesture.
    void touchesBegan(const QPointF& point);
    void endTrackingWithTouch();
    void touchesEnded();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void sliderChange(SliderChange change) override;

private:
    void awakeFromNib();
    qreal thumbWidth() const;
    qreal travel() const;
    QRectF thumbRect() const;
    QPointF toPoints(const QPointF& widgetPoint) const;
    void showValue(double value);

    bool on_ = false;
    bool touchedSelf_ = false;  // tracking ended during the current touch
    bool touching_ = false;
    bool thumbPressed_ = false;  // the touch began on the thumb
    bool tracking_ = false;
    QPointF pressPoint_;
    qreal grabOffset_ = 0;

    double shownValue_ = 0;  // where the thumb is drawn, 0..1 (animated)
    QSizeF scale_{1, 1};
    QColor tintColor_;
    QPixmap onTrackSource_;
    QPixmap thumbImage_;
    QPixmap minimumTrackImage_;
    QPixmap maximumTrackImage_;
    QWidget* clippingView_ = nullptr;
    QLabel* leftLabel_ = nullptr;
    QLabel* rightLabel_ = nullptr;
    QVariantAnimation* animation_ = nullptr;
};

} // namespace quorvel
