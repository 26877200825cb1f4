#pragma once
// A slider of the editor drawn with the application's slider images: the
// filled track up to the thumb, the empty track after it, and the thumb.
// Upright sliders fill from the bottom, with the images turned. Values are
// floats (seconds, semitones, positions) kept as integers in hundredths.
//
// valueChangedWhileDragging() reports every move of a held thumb;
// valueChangedReleased() reports the value when the thumb is let go, and
// any change made by a click on the track or by a key.
#include <QSlider>

namespace quorvel {

class EditorSlider : public QSlider {
    Q_OBJECT
public:
    static constexpr float kScale = 100.0f;

    explicit EditorSlider(QWidget* parent = nullptr);

    float floatValue() const { return float(value()) / kScale; }
    // Sets range and value without reporting them (the presenter's state).
    void showValue(float minimum, float maximum, float value);

signals:
    void valueChangedWhileDragging(float value);
    void valueChangedReleased(float value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyStyle();
};

} // namespace quorvel
