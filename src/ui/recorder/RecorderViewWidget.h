#pragma once
// The recorder screen's widget, built from the "RecorderView" layout: the
// record button (its image shows the state), the status label, the running
// time in the LCD font, and the done button. It draws what its presenter
// holds and forwards the actions to it.
#include "screens/RecorderViewController.h"

#include <QFont>
#include <QPixmap>
#include <QWidget>
#include <memory>

namespace Ui {
class RecorderView;
}

namespace quorvel {

class RecorderViewWidget : public QWidget {
    Q_OBJECT
public:
    explicit RecorderViewWidget(QWidget* parent = nullptr);
    ~RecorderViewWidget() override;

    RecorderViewController& controller() { return controller_; }

    // "DBLCDTempBlack" at 17 points (a point is one unit of the canvas);
    // DSEG7 stands in for it.
    static QFont lcdFont();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    std::unique_ptr<Ui::RecorderView> ui_;
    RecorderViewController controller_;
    QPixmap background_;
};

} // namespace quorvel
