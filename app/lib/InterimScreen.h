#pragma once
// A plain screen for the editor's destinations whose own screens are not in
// this program yet (the ringtone list): a title, a line of text and a button
// that leaves it.
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace quorvel {

class InterimScreen : public QWidget {
    Q_OBJECT
public:
    InterimScreen(const QString& title, const QString& text, std::function<void()> done, QWidget* parent = nullptr);
    void done();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* text_;
    QPushButton* button_;
    std::function<void()> done_;
};

} // namespace quorvel
