#pragma once
// The spinning wheel shown while something loads: twelve spokes whose
// brightness runs round. Hidden while stopped unless told otherwise.
#include <QColor>
#include <QTimer>
#include <QWidget>

namespace quorvel {

class ActivityIndicator : public QWidget {
    Q_OBJECT
public:
    explicit ActivityIndicator(QWidget* parent = nullptr);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return timer_.isActive(); }

    void setHidesWhenStopped(bool hides);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setColor(const QColor& color);

    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int step_ = 0;
    bool hidesWhenStopped_ = true;
    QColor color_ = Qt::white;
};

} // namespace quorvel
