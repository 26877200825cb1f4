#pragma once
// The texts a widget (or a painting function) really draws, in order: a
// paint device whose engine writes down each text item and draws nothing.
// Widget tests use it to read what a person sees, elisions included.
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QStringList>
#include <QTextItem>
#include <QWidget>

namespace quorvel::test {

class DrawnText : public QPaintDevice {
public:
    explicit DrawnText(QSize size = {2000, 2000}) : size_(size) {}

    const QStringList& texts() const { return engine_.texts; }
    QPaintEngine* paintEngine() const override { return &engine_; }

    // What `widget` draws of itself and its children.
    static QStringList of(QWidget* widget) {
        DrawnText device(widget->size());
        widget->render(&device, QPoint(), QRegion(), QWidget::DrawChildren);
        return device.texts();
    }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth: return size_.width();
        case PdmHeight: return size_.height();
        case PdmWidthMM: return size_.width() * 254 / 960;
        case PdmHeightMM: return size_.height() * 254 / 960;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        case PdmDepth: return 32;
        case PdmNumColors: return 1 << 24;
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}
        Type type() const override { return User; }
        QStringList texts;
    };
    QSize size_;
    mutable Engine engine_;
};

} // namespace quorvel::test
