#include "ui/controls/UICustomSwitch.h"

#include "platform/core/LocalizedStrings.h"
#include "ui/controls/UIImage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {
constexpr int kLabelHeight = 23;
constexpr int kLabelWidth = 48;
const QRect kClippingFrame(4, 2, 87, 23);

QString textOr(const QString& text, const QString& fallback) { return text.isEmpty() ? fallback : text; }

// Luminosity of the non-separable blend modes (0.3 R + 0.59 G + 0.11 B).
double lum(double r, double g, double b) { return 0.3 * r + 0.59 * g + 0.11 * b; }

// The colour `c` moved to luminosity `l`, pulled back into range along its hue.
void setLum(double& r, double& g, double& b, double l) {
    const double d = l - lum(r, g, b);
    r += d;
    g += d;
    b += d;
    const double L = lum(r, g, b);
    const double n = std::min({r, g, b});
    const double x = std::max({r, g, b});
    if (n < 0) {
        r = L + (r - L) * L / (L - n);
        g = L + (g - L) * L / (L - n);
        b = L + (b - L) * L / (L - n);
    }
    if (x > 1) {
        r = L + (r - L) * (1 - L) / (x - L);
        g = L + (g - L) * (1 - L) / (x - L);
        b = L + (b - L) * (1 - L) / (x - L);
    }
}
} // namespace

UICustomSwitch::UICustomSwitch(QWidget* parent) : UICustomSwitch(QPoint(0, 0), parent) {}

UICustomSwitch::UICustomSwitch(const QPoint& origin, QWidget* parent) : QAbstractSlider(parent) {
    move(origin);
    setFixedSize(kWidth, kHeight);
    awakeFromNib();
}

UICustomSwitch::~UICustomSwitch() = default;

UICustomSwitch* UICustomSwitch::switchWithLeftText(const QString& leftText, const QString& rightText,
                                                   QWidget* parent) {
    auto* control = new UICustomSwitch(QPoint(0, 0), parent);
    control->leftLabel()->setText(leftText);
    control->rightLabel()->setText(rightText);
    return control;
}

void UICustomSwitch::awakeFromNib() {
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    setOrientation(Qt::Horizontal);
    setThumbImage(UIImage::imageNamed(QStringLiteral("switchThumb.png")));
    onTrackSource_ = UIImage::imageNamed(QStringLiteral("switchBlueBg.png"));
    setMinimumTrackImage(onTrackSource_);
    setMaximumTrackImage(UIImage::imageNamed(QStringLiteral("switchOffPlain.png")));
    setRange(0, kValueScale);
    setTracking(false);
    on_ = false;
    setValue(0);
    shownValue_ = 0;

    // The labels are drawn by paintEvent under the control's scale, so the
    // clipping view is never shown as a child window of its own.
    clippingView_ = new QWidget(this);
    clippingView_->setObjectName(QStringLiteral("clippingView"));
    clippingView_->setGeometry(kClippingFrame);
    clippingView_->setAttribute(Qt::WA_TransparentForMouseEvents);
    clippingView_->setAttribute(Qt::WA_NoSystemBackground);
    clippingView_->hide();

    QFont font = QApplication::font();
    font.setPixelSize(17);
    font.setBold(true);
    auto makeLabel = [&](const QString& name, const QRect& frame, const QString& text, const QColor& color) {
        auto* label = new QLabel(text, clippingView_);
        label->setObjectName(name);
        label->setGeometry(frame);
        label->setFont(font);
        label->setAlignment(Qt::AlignCenter);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setAutoFillBackground(false);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, color);
        label->setPalette(palette);
        return label;
    };
    leftLabel_ = makeLabel(QStringLiteral("leftLabel"), QRect(0, 0, kLabelWidth, kLabelHeight),
                           textOr(NSLocalizedString(QStringLiteral("Fade ON")), QStringLiteral("l")), Qt::white);
    rightLabel_ = makeLabel(QStringLiteral("rightLabel"), QRect(kWidth, 0, kLabelWidth, kLabelHeight),
                            textOr(NSLocalizedString(QStringLiteral("Fade OFF")), QStringLiteral("O")),
                            QColor(128, 128, 128));

    animation_ = new QVariantAnimation(this);
    animation_->setObjectName(QStringLiteral("UICustomSwitch"));
    animation_->setDuration(kAnimationMs);
    connect(animation_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& shown) { showValue(shown.toDouble()); });
    layoutSubviews();
}

void UICustomSwitch::setOn(bool on) { setOn(on, false); }

void UICustomSwitch::setOn(bool on, bool animated) {
    on_ = on;
    const double from = shownValue_;
    const double target = on ? 1.0 : 0.0;
    animation_->stop();
    setValue(on ? kValueScale : 0);
    if (animated && from != target) {
        animation_->setStartValue(from);
        animation_->setEndValue(target);
        showValue(from);
        animation_->start();
    } else {
        showValue(target);
    }
}

void UICustomSwitch::setTintColor(const QColor& color) {
    if (color == tintColor_) return;
    tintColor_ = color;
    QPixmap tinted = QPixmap::fromImage(image(onTrackSource_.toImage(), color));
    tinted.setDevicePixelRatio(onTrackSource_.devicePixelRatio());
    setMinimumTrackImage(tinted);
}

QImage UICustomSwitch::image(const QImage& source, const QColor& color) {
    if (!color.isValid() || source.isNull()) return source;
    QImage result = source.convertToFormat(QImage::Format_ARGB32);
    const double cr = color.redF(), cg = color.greenF(), cb = color.blueF(), ca = color.alphaF();
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb pixel = line[x];
            if (qAlpha(pixel) == 0) continue;  // only the image's own opaque pixels are painted
            const double r = qRed(pixel) / 255.0, g = qGreen(pixel) / 255.0, b = qBlue(pixel) / 255.0;
            double br = cr, bg = cg, bb = cb;
            setLum(br, bg, bb, lum(r, g, b));
            auto mix = [ca](double under, double blended) {
                return int(std::lround(std::clamp(under * (1 - ca) + blended * ca, 0.0, 1.0) * 255));
            };
            line[x] = qRgba(mix(r, br), mix(g, bg), mix(b, bb), qAlpha(pixel));
        }
    }
    result.setDevicePixelRatio(source.devicePixelRatio());
    return result;
}

void UICustomSwitch::scaleSwitch(const QSizeF& scale) {
    if (!(scale.width() > 0) || !(scale.height() > 0)) return;
    scale_ = scale;
    setFixedSize(int(std::lround(kWidth * scale.width())), int(std::lround(kHeight * scale.height())));
    update();
}

void UICustomSwitch::setThumbImage(const QPixmap& image) {
    thumbImage_ = image;
    layoutSubviews();
    update();
}

void UICustomSwitch::setMinimumTrackImage(const QPixmap& image) {
    minimumTrackImage_ = image;
    update();
}

void UICustomSwitch::setMaximumTrackImage(const QPixmap& image) {
    maximumTrackImage_ = image;
    update();
}

QSize UICustomSwitch::sizeHint() const { return size(); }
QSize UICustomSwitch::minimumSizeHint() const { return size(); }

qreal UICustomSwitch::thumbWidth() const { return UIImage::pointSize(thumbImage_).width(); }

qreal UICustomSwitch::travel() const { return kWidth - thumbWidth(); }

QRectF UICustomSwitch::thumbRect() const {
    const QSizeF size = UIImage::pointSize(thumbImage_);
    return QRectF(shownValue_ * travel(), (kHeight - size.height()) / 2, size.width(), size.height());
}

QPointF UICustomSwitch::toPoints(const QPointF& widgetPoint) const {
    return QPointF(widgetPoint.x() / scale_.width(), widgetPoint.y() / scale_.height());
}

void UICustomSwitch::showValue(double value) {
    shownValue_ = std::clamp(value, 0.0, 1.0);
    layoutSubviews();
    update();
}

void UICustomSwitch::layoutSubviews() {
    if (!clippingView_) return;
    clippingView_->raise();
    const float thumbW = float(thumbWidth());
    const float width = float(kWidth);
    const float trackTravel = width - thumbW;
    const float clipX = float(clippingView_->x());
    const float v = float(shownValue_);
    leftLabel_->setGeometry(int(std::trunc(v * trackTravel - trackTravel - clipX)), 0, int(trackTravel),
                            kLabelHeight);
    rightLabel_->setGeometry(int(std::trunc(width + v * trackTravel - trackTravel - clipX)), 0, int(trackTravel),
                             kLabelHeight);
}

void UICustomSwitch::sliderChange(SliderChange change) {
    QAbstractSlider::sliderChange(change);
    // A value set from outside (not by setOn) moves the thumb at once.
    if (change == SliderValueChange && !tracking_ && animation_->state() != QAbstractAnimation::Running)
        showValue(double(value()) / kValueScale);
}

void UICustomSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale_.width(), scale_.height());

    const QRectF thumb = thumbRect();
    const qreal split = thumb.center().x();
    auto drawTrack = [&](const QPixmap& track, const QRectF& visible) {
        if (track.isNull()) return;
        const qreal height = UIImage::pointSize(track).height();
        painter.save();
        painter.setClipRect(visible);
        painter.drawPixmap(QRectF(0, (kHeight - height) / 2, kWidth, height), track, QRectF(track.rect()));
        painter.restore();
    };
    drawTrack(maximumTrackImage_, QRectF(split, 0, kWidth - split, kHeight));
    drawTrack(minimumTrackImage_, QRectF(0, 0, split, kHeight));
    if (!thumbImage_.isNull()) painter.drawPixmap(thumb, thumbImage_, QRectF(thumbImage_.rect()));

    clippingView_->render(&painter, clippingView_->pos(), QRegion(), QWidget::DrawChildren);

    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(0.75, 0.75, kWidth - 1.5, kHeight - 1.5), kHeight / 2.0, kHeight / 2.0);
    }
}

void UICustomSwitch::touchesBegan(const QPointF& point) {
    // The slider's own handling: a touch on the thumb may become a drag.
    animation_->stop();
    const QRectF thumb = thumbRect();
    thumbPressed_ = !thumb.isEmpty() && thumb.contains(point);
    grabOffset_ = point.x() - thumb.x();
    pressPoint_ = point;
    tracking_ = false;

    touchedSelf_ = false;
    on_ = !on_;
}

void UICustomSwitch::endTrackingWithTouch() {
    tracking_ = false;
    setSliderDown(false);  // the slider takes its dragged position as its value
    touchedSelf_ = true;
    setOn(on_, true);
}

void UICustomSwitch::touchesEnded() {
    if (tracking_) endTrackingWithTouch();
    thumbPressed_ = false;
    if (touchedSelf_) return;
    setOn(on_, true);
    emit valueChangedEvent();
}

void UICustomSwitch::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || touching_) {
        event->ignore();
        return;
    }
    touching_ = true;
    touchesBegan(toPoints(event->position()));
    event->accept();
}

void UICustomSwitch::mouseMoveEvent(QMouseEvent* event) {
    if (!touching_ || !thumbPressed_) return;
    const QPointF point = toPoints(event->position());
    if (!tracking_) {
        if ((point - pressPoint_).manhattanLength() < QApplication::startDragDistance()) return;
        tracking_ = true;
        setSliderDown(true);
    }
    const qreal span = travel();
    const double position = span > 0 ? std::clamp((point.x() - grabOffset_) / span, 0.0, 1.0) : 0.0;
    setSliderPosition(int(std::lround(position * kValueScale)));
    showValue(position);
}

void UICustomSwitch::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !touching_) {
        event->ignore();
        return;
    }
    touching_ = false;
    touchesEnded();
    event->accept();
}

void UICustomSwitch::keyPressEvent(QKeyEvent* event) {
    // The keyboard's tap; arrows and page keys would leave the two states.
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        if (touching_ || event->isAutoRepeat()) break;
        setOn(!on_, true);
        emit valueChangedEvent();
        event->accept();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void UICustomSwitch::wheelEvent(QWheelEvent* event) { event->ignore(); }

} // namespace quorvel
