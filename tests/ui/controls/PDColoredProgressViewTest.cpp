#include "ui/controls/PDColoredProgressView.h"
#include "TestSupport.h"
#include "ui/controls/drawing.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <cmath>

using quorvel::PDColoredProgressView;

namespace {

constexpr int kW = 160;
constexpr int kH = 20;  // bands end at 20/1.75/2.7 = 4.2 and 20/1.75 = 11.4; the bottom line covers row 19

QImage render(PDColoredProgressView& view) {
    view.resize(kW, kH);
    QImage shot(view.size(), QImage::Format_ARGB32_Premultiplied);
    shot.fill(Qt::transparent);
    view.render(&shot, QPoint(), QRegion(), QWidget::RenderFlags());  // no window background
    return shot.convertToFormat(QImage::Format_ARGB32);
}

QImage renderAt(float progress) {
    PDColoredProgressView view;
    view.setProgress(progress);
    return render(view);
}

// Source-over of a grey level at an opacity onto a grey level.
int over(int below, int level, double alpha) { return int(std::lround(below * (1 - alpha) + level * alpha)); }

bool isGrey(QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); }

void expectGrey(const QImage& shot, int x, int y, int level, int tolerance = 2) {
    const QRgb c = shot.pixel(x, y);
    EXPECT_EQ(qAlpha(c), 255) << "at " << x << "," << y;
    EXPECT_TRUE(isGrey(c)) << "at " << x << "," << y << ": " << QColor(c).name().toStdString();
    EXPECT_NEAR(qRed(c), level, tolerance) << "at " << x << "," << y;
}

void expectColor(const QImage& shot, int x, int y, int r, int g, int b, int tolerance = 2) {
    const QRgb c = shot.pixel(x, y);
    EXPECT_NEAR(qRed(c), r, tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(qGreen(c), g, tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(qBlue(c), b, tolerance) << "at " << x << "," << y;
}

} // namespace

TEST(PDColoredProgressView, DefaultsToTheGreenTintAndTheDefaultStyle) {
    PDColoredProgressView view;
    EXPECT_EQ(view.tintColor(), QColor::fromRgbF(float(125 / 255.0), float(228 / 255.0), float(30 / 255.0), 1.0f));
    EXPECT_EQ(view.progressViewStyle(), PDColoredProgressView::UIProgressViewStyleDefault);
    PDColoredProgressView bar(PDColoredProgressView::UIProgressViewStyleBar);
    EXPECT_EQ(bar.tintColor(), view.tintColor());
    EXPECT_FLOAT_EQ(view.progress(), 0.0f);
    view.setProgress(0.25f);
    EXPECT_FLOAT_EQ(view.progress(), 0.25f);
    view.setProgress(3.0f);
    EXPECT_FLOAT_EQ(view.progress(), 1.0f);
    view.setProgress(std::nanf(""));
    EXPECT_FLOAT_EQ(view.progress(), 0.0f);
}

TEST(PDColoredProgressView, ProgressZeroDrawsOnlyTheTrack) {
    const QImage shot = renderAt(0.0f);
    const int band = over(over(255, 202, 0.9), 163, 0.8);  // both bands over white
    for (int x : {6, kW / 2, kW - 7}) {
        expectGrey(shot, x, 1, band);
        expectGrey(shot, x, 3, band);
        expectGrey(shot, x, 6, over(255, 202, 0.9));
        expectGrey(shot, x, 10, over(255, 202, 0.9));
        expectGrey(shot, x, 13, 255);
        expectGrey(shot, x, 17, 255);
        expectGrey(shot, x, 19, over(255, 178, 0.9));  // the bottom line's upper half
    }
    // Rounded corners: the outermost corner pixels stay clear.
    for (QPoint corner : {QPoint(0, 0), QPoint(kW - 1, 0), QPoint(0, kH - 1), QPoint(kW - 1, kH - 1)})
        EXPECT_EQ(qAlpha(shot.pixel(corner)), 0) << corner.x() << "," << corner.y();
    // No tint, no outline, no gloss: every pixel is a grey.
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_TRUE(isGrey(shot.pixel(x, y))) << x << "," << y;
}

TEST(PDColoredProgressView, ProgressOneFillsTheTrackWithTintOutlineAndGloss) {
    const QImage shot = renderAt(1.0f);
    // Below the gloss and inside the outline: the tint itself.
    for (int x : {4, kW / 2, kW - 5})
        for (int y : {12, 15, 17})
            expectColor(shot, x, y, 125, 228, 30);
    // Gloss: white from 0.75 at the top to 0.45 at h/1.75.
    auto glossed = [](int tint, double alpha) { return int(std::lround(tint * (1 - alpha) + 255 * alpha)); };
    const double top = 0.45 + 0.30 * (20 / 1.75 - 2.5) / (20 / 1.75);  // pixel row 2, centre 2.5
    expectColor(shot, kW / 2, 2, glossed(125, top), glossed(228, top), glossed(30, top), 3);
    const double low = 0.45 + 0.30 * (20 / 1.75 - 10.5) / (20 / 1.75);
    expectColor(shot, kW / 2, 10, glossed(125, low), glossed(228, low), glossed(30, low), 3);
    EXPECT_GT(qBlue(shot.pixel(kW / 2, 2)), qBlue(shot.pixel(kW / 2, 10)));
    // Outline: the outermost columns and the last row are darker than the inside.
    for (QPoint edge : {QPoint(0, 15), QPoint(kW - 1, 15), QPoint(kW / 2, kH - 1)}) {
        const QRgb c = shot.pixel(edge);
        EXPECT_LT(qRed(c), 125 - 10) << edge.x() << "," << edge.y();
        EXPECT_LT(qGreen(c), 228 - 20) << edge.x() << "," << edge.y();
    }
    // The tint reaches everywhere inside: no white track and no grey band is left.
    for (int y = 1; y < kH - 1; ++y)
        for (int x = 2; x < kW - 2; ++x) {
            const QRgb c = shot.pixel(x, y);
            ASSERT_GT(qGreen(c), qBlue(c) + 40) << x << "," << y;
        }
    EXPECT_EQ(qAlpha(shot.pixel(0, 0)), 0) << "the corners stay rounded";
}

TEST(PDColoredProgressView, PartialProgressEndsTheBarAtItsFraction) {
    const QImage shot = renderAt(0.5f);
    expectColor(shot, kW / 2 - 6, 15, 125, 228, 30);
    expectGrey(shot, kW / 2 + 6, 15, 255);
    expectGrey(shot, kW / 2 + 6, 7, over(255, 202, 0.9));
}

TEST(PDColoredProgressView, ANewTintShowsOnlyAtTheNextRedraw) {
    PDColoredProgressView view;
    view.resize(kW, kH);
    view.setProgress(1.0f);
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    view.installEventFilter(&counter);
    view.show();
    ASSERT_TRUE(quorvel::test::waitUntil([&] { return counter.paints > 0; }, 5000)) << "the counter sees repaints";
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    counter.paints = 0;
    view.setTintColor(QColor(200, 30, 30));
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0) << "setting the tint asks for no repaint";
    view.update();
    EXPECT_TRUE(quorvel::test::waitUntil([&] { return counter.paints > 0; }, 5000))
        << "an asked-for repaint comes through";
    view.removeEventFilter(&counter);

    const QImage shot = render(view);
    expectColor(shot, kW / 2, 15, 200, 30, 30);
}

TEST(PDColoredProgressView, BarStyleIsLeftToQtsProgressBar) {
    PDColoredProgressView bar(PDColoredProgressView::UIProgressViewStyleBar);
    bar.setProgress(1.0f);
    const QImage shot = render(bar);
    const QImage custom = renderAt(1.0f);
    EXPECT_NE(shot, custom);
    EXPECT_NE(QColor(shot.pixel(kW / 2, 15)), QColor(125, 228, 30));
}

TEST(RoundedRectPath, HasCornersOfRadiusFour) {
    QPainterPath path;
    quorvel::addRoundedRectToPath(path, QRectF(10, 20, 100, 40));
    const QRectF bounds = path.boundingRect();
    EXPECT_NEAR(bounds.left(), 10, 1e-9);
    EXPECT_NEAR(bounds.top(), 20, 1e-9);
    EXPECT_NEAR(bounds.right(), 110, 1e-9);
    EXPECT_NEAR(bounds.bottom(), 60, 1e-9);

    // Each corner is a quarter circle of radius 4 about a point 4 in from both edges.
    const QPointF centres[] = {{14, 24}, {106, 24}, {14, 56}, {106, 56}};
    for (const QPointF& c : centres) {
        const QPointF outward((c.x() < 50 ? -1 : 1) * M_SQRT1_2, (c.y() < 40 ? -1 : 1) * M_SQRT1_2);
        EXPECT_TRUE(path.contains(c + outward * 3.9)) << c.x() << "," << c.y();
        EXPECT_FALSE(path.contains(c + outward * 4.1)) << c.x() << "," << c.y();
    }
    EXPECT_TRUE(path.contains(QPointF(10.05, 40)));
    EXPECT_TRUE(path.contains(QPointF(60, 20.05)));

    // Its area, measured by filling it: the rectangle less four corner pieces of 4 * 4 - pi * 4 * 4 / 4.
    QImage canvas(120, 70, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(path, Qt::black);
    }
    double area = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) area += qAlpha(canvas.pixel(x, y)) / 255.0;
    EXPECT_NEAR(area, 4000 - 4 * (16 - 4 * M_PI), 2.0);
}

TEST(RoundedRectPath, DegenerateRectanglesStayFinite) {
    for (const QRectF& rect : {QRectF(0, 0, 0, 9), QRectF(0, 0, 2, 9), QRectF(5, 5, 0, 0), QRectF(0, 0, -1, 8)}) {
        QPainterPath path;
        quorvel::addRoundedRectToPath(path, rect);
        const QRectF bounds = path.boundingRect();
        EXPECT_TRUE(std::isfinite(bounds.left()) && std::isfinite(bounds.right()) && std::isfinite(bounds.top()) &&
                    std::isfinite(bounds.bottom()))
            << rect.width() << "x" << rect.height();
        EXPECT_LT(bounds.width(), 12);  // arcs may overshoot a tiny rectangle, but only by their radius
    }
    QPainterPath empty;
    quorvel::addRoundedRectToPath(empty, QRectF(0, 0, 0, 9));
    EXPECT_FALSE(empty.contains(QPointF(0, 4.5)));
}

TEST(ArcToPoint, ARightAngleCornerIsAQuarterCircle) {
    QPainterPath path;
    path.moveTo(0, 0);
    quorvel::addArcToPoint(path, QPointF(10, 0), QPointF(10, 10), 2);
    const QPointF end = path.currentPosition();
    EXPECT_NEAR(end.x(), 10, 1e-9);
    EXPECT_NEAR(end.y(), 2, 1e-9);
    // The arc's middle lies radius away from the centre (8, 2).
    const QPointF middle = path.pointAtPercent(1.0 - 0.5 * (M_PI) / (8 + M_PI));
    EXPECT_NEAR(std::hypot(middle.x() - 8, middle.y() - 2), 2, 0.05);

    QPainterPath straight;
    straight.moveTo(0, 0);
    quorvel::addArcToPoint(straight, QPointF(5, 0), QPointF(9, 0), 2);
    EXPECT_EQ(straight.currentPosition(), QPointF(5, 0)) << "collinear points make a line to the corner";
}
