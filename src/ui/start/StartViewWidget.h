#pragma once
// The start screen's widget, built from the "StartView" layout: the pattern
// background and the button that opens the music picker. Hiding the screen
// closes a picker it opened. The recorder and the list need no song: their
// keys (Ctrl+R, Ctrl+L) work here too, through whoever presents the screen.
#include "screens/StartViewController.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class StartView;
}

namespace quorvel {

class MPMediaLibrary;
class MPMediaPickerController;

class StartViewWidget : public QWidget, public StartView {
    Q_OBJECT
public:
    explicit StartViewWidget(MPMediaLibrary& library, QWidget* parent = nullptr);
    ~StartViewWidget() override;

    StartViewController& controller() { return controller_; }
    MPMediaPickerController* mediaPicker() const;

    // StartView
    void presentMediaPicker(const QString& prompt, bool allowsPickingMultipleItems,
                            MPMediaPickerControllerDelegate* delegate) override;
    void dismissMediaPicker(bool animated) override;

signals:
    void recorderWanted();
    void listWanted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<Ui::StartView> ui_;
    MPMediaLibrary& library_;
    StartViewController controller_;
    QPointer<MPMediaPickerController> picker_;
    QPixmap background_;
};

} // namespace quorvel
