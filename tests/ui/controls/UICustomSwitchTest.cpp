#include "ui/controls/UICustomSwitch.h"
#include "TestSupport.h"
#include "platform/core/LocalizedStrings.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QVariantAnimation>
#include <gtest/gtest.h>
#include <cmath>
#include <memory>

using quorvel::UICustomSwitch;

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, const QPointF& at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void tap(QWidget* widget, const QPointF& at) {
    sendMouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

void drag(QWidget* widget, const QPointF& from, const QPointF& to, int steps = 8) {
    sendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= steps; ++i)
        sendMouse(widget, QEvent::MouseMove, from + (to - from) * (double(i) / steps), Qt::NoButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

QPixmap solid(int width, int height, const QColor& color) {
    QPixmap pixmap(width, height);
    pixmap.fill(color);
    return pixmap;
}

QVariantAnimation* animationOf(UICustomSwitch& control) {
    return control.findChild<QVariantAnimation*>(QStringLiteral("UICustomSwitch"));
}

bool waitForAnimation(UICustomSwitch& control) {
    return quorvel::test::waitUntil(
        [&] { return animationOf(control)->state() != QAbstractAnimation::Running; }, 5000);
}

// Label frames by the layout rule, for a thumb `thumbW` wide at value v.
QRect expectedLeft(float v, float thumbW) {
    const float travel = 95.0f - thumbW;
    return QRect(int(std::trunc(v * travel - travel - 4.0f)), 0, int(travel), 23);
}
QRect expectedRight(float v, float thumbW) {
    const float travel = 95.0f - thumbW;
    return QRect(int(std::trunc(95.0f + v * travel - travel - 4.0f)), 0, int(travel), 23);
}

} // namespace

TEST(UICustomSwitch, SetUpGivesTheFixedGeometryAndLocalisedTexts) {
    UICustomSwitch control(QPoint(30, 40));
    EXPECT_EQ(control.geometry(), QRect(30, 40, 95, 27));
    control.resize(200, 80);
    EXPECT_EQ(control.size(), QSize(95, 27)) << "the size is the control's own";

    EXPECT_FALSE(control.isOn());
    EXPECT_EQ(control.value(), 0);
    EXPECT_EQ(control.minimum(), 0);
    EXPECT_EQ(control.maximum(), UICustomSwitch::kValueScale);
    EXPECT_FALSE(control.hasTracking()) << "not continuous";

    ASSERT_NE(control.clippingView(), nullptr);
    EXPECT_EQ(control.clippingView()->geometry(), QRect(4, 2, 87, 23));
    EXPECT_TRUE(control.clippingView()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(control.leftLabel()->parentWidget(), control.clippingView());
    EXPECT_EQ(control.rightLabel()->parentWidget(), control.clippingView());

    EXPECT_EQ(control.leftLabel()->text(), quorvel::NSLocalizedString(QStringLiteral("Fade ON")));
    EXPECT_EQ(control.rightLabel()->text(), quorvel::NSLocalizedString(QStringLiteral("Fade OFF")));
    EXPECT_TRUE(control.leftLabel()->font().bold());
    EXPECT_EQ(control.leftLabel()->font().pixelSize(), 17);
    EXPECT_EQ(control.leftLabel()->alignment(), Qt::AlignCenter);
    EXPECT_EQ(control.leftLabel()->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(control.rightLabel()->palette().color(QPalette::WindowText), QColor(128, 128, 128));

    EXPECT_FALSE(control.thumbImage().isNull()) << "switchThumb.png ships with the program";
    EXPECT_FALSE(control.minimumTrackImage().isNull()) << "switchBlueBg.png";
    EXPECT_FALSE(control.maximumTrackImage().isNull()) << "switchOffPlain.png";
}

TEST(UICustomSwitch, MadeWithTextsIsAtTheOriginAndShowsThem) {
    std::unique_ptr<UICustomSwitch> control(
        UICustomSwitch::switchWithLeftText(QStringLiteral("Yes"), QStringLiteral("No")));
    EXPECT_EQ(control->geometry(), QRect(0, 0, 95, 27));
    EXPECT_EQ(control->leftLabel()->text(), QStringLiteral("Yes"));
    EXPECT_EQ(control->rightLabel()->text(), QStringLiteral("No"));
}

TEST(UICustomSwitch, LabelFramesFollowTheLayoutRule) {
    UICustomSwitch control;
    const float shipped = float(control.thumbImage().width() / control.thumbImage().devicePixelRatio());
    EXPECT_EQ(control.leftLabel()->geometry(), expectedLeft(0, shipped));
    EXPECT_EQ(control.rightLabel()->geometry(), expectedRight(0, shipped));

    control.setThumbImage(solid(30, 27, Qt::gray));
    control.setOn(true);
    EXPECT_EQ(control.leftLabel()->geometry(), QRect(-4, 0, 65, 23)) << "the left text fills the track left of the thumb";
    EXPECT_EQ(control.rightLabel()->geometry(), QRect(91, 0, 65, 23)) << "the right text lies beyond the right edge";
    control.setOn(false);
    EXPECT_EQ(control.leftLabel()->geometry(), QRect(-69, 0, 65, 23));
    EXPECT_EQ(control.rightLabel()->geometry(), QRect(26, 0, 65, 23));

    // Halfway through a drag: the fractions are dropped toward zero (-36.5 -> -36, 58.5 -> 58).
    sendMouse(&control, QEvent::MouseButtonPress, QPointF(15, 13), Qt::LeftButton, Qt::LeftButton);
    sendMouse(&control, QEvent::MouseMove, QPointF(47.5, 13), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(control.leftLabel()->geometry(), QRect(-36, 0, 65, 23));
    EXPECT_EQ(control.rightLabel()->geometry(), QRect(58, 0, 65, 23));
    sendMouse(&control, QEvent::MouseButtonRelease, QPointF(47.5, 13), Qt::LeftButton, Qt::NoButton);
}

TEST(UICustomSwitch, WithoutAThumbImageTheTravelIsTheFullWidth) {
    UICustomSwitch control;
    control.setThumbImage(QPixmap());
    control.setOn(true);
    EXPECT_EQ(control.leftLabel()->geometry(), QRect(-4, 0, 95, 23));
    EXPECT_EQ(control.rightLabel()->geometry(), QRect(91, 0, 95, 23));
    control.setOn(false);
    EXPECT_EQ(control.leftLabel()->geometry(), QRect(-99, 0, 95, 23));
    EXPECT_EQ(control.rightLabel()->geometry(), QRect(-4, 0, 95, 23));
}

TEST(UICustomSwitch, TapTogglesWithOneEventAndTheAnimation) {
    UICustomSwitch control;
    control.setThumbImage(solid(40, 27, Qt::gray));
    QSignalSpy events(&control, &UICustomSwitch::valueChangedEvent);
    QSignalSpy released(&control, &QAbstractSlider::sliderReleased);

    tap(&control, QPointF(70, 13));  // on the track, away from the thumb
    EXPECT_TRUE(control.isOn());
    EXPECT_EQ(control.value(), UICustomSwitch::kValueScale);
    EXPECT_EQ(events.count(), 1);
    EXPECT_EQ(released.count(), 0);
    QVariantAnimation* animation = animationOf(control);
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->duration(), 200);
    EXPECT_EQ(animation->state(), QAbstractAnimation::Running);
    ASSERT_TRUE(waitForAnimation(control));
    EXPECT_EQ(control.leftLabel()->geometry(), expectedLeft(1, 40));
    EXPECT_EQ(control.rightLabel()->geometry(), expectedRight(1, 40));

    // A tap on the thumb itself is a tap too, and turns it back off.
    tap(&control, QPointF(75, 13));
    EXPECT_FALSE(control.isOn());
    EXPECT_EQ(control.value(), 0);
    EXPECT_EQ(events.count(), 2);
    ASSERT_TRUE(waitForAnimation(control));
    EXPECT_EQ(control.leftLabel()->geometry(), expectedLeft(0, 40));
}

TEST(UICustomSwitch, DragSendsNoEventAndSnapsToTheOppositeState) {
    UICustomSwitch control;
    control.setThumbImage(solid(40, 27, Qt::gray));
    QSignalSpy events(&control, &UICustomSwitch::valueChangedEvent);
    QSignalSpy pressed(&control, &QAbstractSlider::sliderPressed);
    QSignalSpy released(&control, &QAbstractSlider::sliderReleased);

    drag(&control, QPointF(20, 13), QPointF(60, 13));  // thumb dragged most of the way
    EXPECT_EQ(events.count(), 0);
    EXPECT_EQ(pressed.count(), 1);
    EXPECT_EQ(released.count(), 1) << "the slider ends its own gesture";
    EXPECT_TRUE(control.isOn());
    EXPECT_EQ(control.value(), UICustomSwitch::kValueScale);
    ASSERT_TRUE(waitForAnimation(control));
    EXPECT_EQ(control.leftLabel()->geometry(), expectedLeft(1, 40));

    // Dragged out and back to where it began: it still snaps to the opposite state.
    sendMouse(&control, QEvent::MouseButtonPress, QPointF(75, 13), Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(control.isOn()) << "the state is inverted when the touch begins";
    sendMouse(&control, QEvent::MouseMove, QPointF(60, 13), Qt::NoButton, Qt::LeftButton);
    sendMouse(&control, QEvent::MouseMove, QPointF(75, 13), Qt::NoButton, Qt::LeftButton);
    sendMouse(&control, QEvent::MouseButtonRelease, QPointF(75, 13), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(control.isOn());
    EXPECT_EQ(control.value(), 0);
    EXPECT_EQ(events.count(), 0);
    EXPECT_EQ(released.count(), 2);
}

TEST(UICustomSwitch, SetOnSendsNoEventAndAnimatesOnlyWhenAsked) {
    UICustomSwitch control;
    QSignalSpy events(&control, &UICustomSwitch::valueChangedEvent);
    control.setOn(true);
    EXPECT_TRUE(control.isOn());
    EXPECT_FLOAT_EQ(control.floatValue(), 1.0f);
    EXPECT_NE(animationOf(control)->state(), QAbstractAnimation::Running);
    control.setOn(false, true);
    EXPECT_FALSE(control.isOn());
    EXPECT_FLOAT_EQ(control.floatValue(), 0.0f) << "the value is final at once; only the drawing moves";
    EXPECT_EQ(animationOf(control)->state(), QAbstractAnimation::Running);
    EXPECT_EQ(events.count(), 0);
}

TEST(UICustomSwitch, KeyboardTogglesLikeATapAndArrowsDoNothing) {
    UICustomSwitch control;
    QSignalSpy events(&control, &UICustomSwitch::valueChangedEvent);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&control, &right);
    EXPECT_EQ(control.value(), 0);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(&control, &space);
    EXPECT_TRUE(control.isOn());
    EXPECT_EQ(events.count(), 1);
}

TEST(UICustomSwitch, TintTakesHueAndSaturationFromTheColourAndLuminosityFromTheImage) {
    QImage source(4, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(40, 40, 40, 255));     // dark grey
    source.setPixel(1, 0, qRgba(200, 200, 200, 255));  // light grey
    source.setPixel(2, 0, qRgba(30, 90, 220, 255));    // a blue
    source.setPixel(3, 0, qRgba(0, 0, 0, 0));          // transparent stays untouched
    const QColor red(255, 0, 0);
    const QImage tinted = UICustomSwitch::image(source, red);
    ASSERT_EQ(tinted.size(), source.size());

    auto lum = [](QRgb c) { return 0.3 * qRed(c) + 0.59 * qGreen(c) + 0.11 * qBlue(c); };
    for (int x = 0; x < 3; ++x) {
        const QRgb before = source.pixel(x, 0);
        const QRgb after = tinted.pixel(x, 0);
        EXPECT_NEAR(lum(after), lum(before), 1.5) << "pixel " << x;
        EXPECT_EQ(QColor(after).hue(), 0) << "red hue at pixel " << x;
        EXPECT_EQ(qGreen(after), qBlue(after)) << "pixel " << x;
        EXPECT_GT(qRed(after), qGreen(after)) << "pixel " << x;
        EXPECT_EQ(qAlpha(after), qAlpha(before));
    }
    EXPECT_EQ(qAlpha(tinted.pixel(3, 0)), 0);
    // Dark pixels keep the red fully saturated; light ones are pulled toward white.
    EXPECT_EQ(qRgb(133, 0, 0), (tinted.pixel(0, 0) & 0xffffffu) | 0xff000000u);

    EXPECT_EQ(UICustomSwitch::image(source, QColor()), source) << "no colour: the image unchanged";
}

TEST(UICustomSwitch, SettingTheTintRemakesTheOnTrackOnlyForANewColour) {
    UICustomSwitch control;
    const qint64 original = control.minimumTrackImage().cacheKey();
    control.setTintColor(QColor(255, 40, 120));
    const QPixmap tinted = control.minimumTrackImage();
    EXPECT_NE(tinted.cacheKey(), original);
    EXPECT_EQ(tinted.size(), control.maximumTrackImage().size());
    control.setTintColor(QColor(255, 40, 120));
    EXPECT_EQ(control.minimumTrackImage().cacheKey(), tinted.cacheKey()) << "the same colour does nothing";

    // The drawn "on" track now has the tint's hue left of the thumb.
    control.setOn(true);
    QImage shot(control.size(), QImage::Format_ARGB32_Premultiplied);
    shot.fill(Qt::black);
    control.render(&shot);
    const QColor onTrack = shot.pixelColor(8, 13);
    EXPECT_NEAR(onTrack.hue(), QColor(255, 40, 120).hue(), 8) << onTrack.name().toStdString();
}

TEST(UICustomSwitch, DrawsThumbTracksAndLabelsWhereTheLayoutPutsThem) {
    UICustomSwitch control;
    control.setThumbImage(solid(40, 27, QColor(0, 0, 255)));
    control.setMinimumTrackImage(solid(95, 27, QColor(0, 255, 0)));
    control.setMaximumTrackImage(solid(95, 27, QColor(255, 0, 0)));
    control.leftLabel()->setText(QStringLiteral("ON"));
    control.rightLabel()->setText(QStringLiteral("OFF"));

    auto render = [&] {
        QImage shot(control.size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::transparent);
        control.render(&shot);
        return shot;
    };
    auto countNear = [](const QImage& shot, const QRect& area, const QColor& color) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                n += std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                             std::abs(c.blue() - color.blue()) < 60;
            }
        return n;
    };

    QImage off = render();
    EXPECT_EQ(off.pixelColor(20, 13), QColor(0, 0, 255)) << "thumb at the left";
    EXPECT_EQ(off.pixelColor(92, 1), QColor(255, 0, 0)) << "the off track right of the thumb";
    EXPECT_GT(countNear(off, QRect(41, 2, 50, 23), QColor(128, 128, 128)), 20) << "grey OFF text";
    EXPECT_EQ(countNear(off, QRect(0, 0, 95, 27), QColor(0, 255, 0)), 0) << "no on track while off";

    control.setOn(true);
    QImage on = render();
    EXPECT_EQ(on.pixelColor(75, 13), QColor(0, 0, 255)) << "thumb at the right";
    EXPECT_EQ(on.pixelColor(2, 1), QColor(0, 255, 0)) << "the on track left of the thumb";
    EXPECT_GT(countNear(on, QRect(4, 2, 51, 23), QColor(255, 255, 255)), 20) << "white ON text";
    EXPECT_EQ(countNear(on, QRect(0, 0, 95, 27), QColor(255, 0, 0)), 0) << "no off track while on";
}

TEST(UICustomSwitch, ScaleStretchesDrawingAndTouches) {
    UICustomSwitch control;
    control.setThumbImage(solid(40, 27, QColor(0, 0, 255)));
    control.setMaximumTrackImage(solid(95, 27, QColor(255, 0, 0)));
    control.scaleSwitch(QSizeF(2, 1.5));
    EXPECT_EQ(control.size(), QSize(190, 41));
    EXPECT_EQ(control.clippingView()->geometry(), QRect(4, 2, 87, 23)) << "frames stay in the control's points";

    QImage shot(control.size(), QImage::Format_ARGB32_Premultiplied);
    shot.fill(Qt::transparent);
    control.render(&shot);
    EXPECT_EQ(shot.pixelColor(75, 20), QColor(0, 0, 255)) << "the 40-point thumb spans 80 pixels";
    EXPECT_EQ(shot.pixelColor(85, 20).blue(), 0);

    QSignalSpy events(&control, &UICustomSwitch::valueChangedEvent);
    drag(&control, QPointF(40, 20), QPointF(150, 20));  // a drag in scaled pixels
    EXPECT_EQ(events.count(), 0);
    EXPECT_TRUE(control.isOn());
}
