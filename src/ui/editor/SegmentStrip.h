#pragma once
// The editor's strip as the mouse uses it (the strip's frame, over the
// scrolling song, the marker and the cursor): drag the marked segment and the
// start follows; drag its right edge and the length follows; click outside it
// and the start jumps there; the wheel (and a touchpad's sideways scroll)
// scrolls the song and the start with it. Held beyond the strip's ends, a
// drag keeps the song scrolling. The cursor shows what a press would do.
//
// Every move goes to the presenter's startValueChanged() or
// rangeValueChanged(), which apply the controls' limits. Distances are in the
// strip's points: 6.75 a second.
//
// Main thread only.
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace quorvel {

class MainViewController;

class SegmentStrip : public QWidget {
    Q_OBJECT
public:
    // Around the marker's right edge, a press takes the edge.
    static constexpr double kEdgeGrip = 5.0;
    // One notch of a mouse wheel scrolls this many points (4 s).
    static constexpr double kWheelNotchPoints = 27.0;
    // A drag held beyond the strip's end scrolls this many points a tick per
    // point beyond (a tick every 30 ms).
    static constexpr double kAutoScrollRate = 0.25;

    explicit SegmentStrip(QWidget* parent = nullptr);

    void setPresenter(MainViewController* presenter) { presenter_ = presenter; }
    // Off while there is no song or the editor is busy: the mouse does nothing.
    void setActive(bool active);
    bool isActive() const { return active_; }

    enum class Grip { None, Move, Resize, Jump };
    // What a press at `x` (in the strip's points) takes.
    Grip gripAt(double x) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void dragTo(double x);
    void autoScroll();
    void showCursorFor(double x);

    MainViewController* presenter_ = nullptr;
    bool active_ = false;
    Grip drag_ = Grip::None;
    double pressX_ = 0.0;
    double lastX_ = 0.0;
    float startAtPress_ = 0.0f;
    float lengthAtPress_ = 0.0f;
    double scrolled_ = 0.0; // points scrolled while held beyond an end
    QTimer autoScroll_;
};

} // namespace quorvel
