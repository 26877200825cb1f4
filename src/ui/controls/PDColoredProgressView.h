#pragma once
#include <QColor>
#include <QProgressBar>

class QPainter;

namespace quorvel {

// A progress bar drawn by hand: a white rounded track with grey bands and a
// bottom line, and a bar in the tint colour with a dark outline and a white
// gloss. The bar style leaves the drawing to Qt's own progress bar.
//
// Progress is a fraction from 0 to 1 (`setProgress`); the integer value of
// QProgressBar carries it in steps of 1/kProgressSteps.
class PDColoredProgressView : public QProgressBar {
    Q_OBJECT
    Q_PROPERTY(float progress READ progress WRITE setProgress)
    Q_PROPERTY(QColor tintColor READ tintColor WRITE setTintColor)

public:
    enum ProgressViewStyle { UIProgressViewStyleDefault = 0, UIProgressViewStyleBar = 1 };
    static constexpr int kProgressSteps = 100000;

    // The constructor that layouts use; default style.
    explicit PDColoredProgressView(QWidget* parent = nullptr);
    explicit PDColoredProgressView(ProgressViewStyle style, QWidget* parent = nullptr);

    float progress() const;
    void setProgress(float progress);

    ProgressViewStyle progressViewStyle() const { return style_; }
    void setProgressViewStyle(ProgressViewStyle style);

    QColor tintColor() const { return tintColor_; }
    // Takes effect at the next repaint; does not ask for one itself.
    void setTintColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The default style's drawing into `rect` (y grows downwards).
    void drawRect(QPainter& painter, const QRectF& rect);

private:
    ProgressViewStyle style_ = UIProgressViewStyleDefault;
    QColor tintColor_;
};

} // namespace quorvel
