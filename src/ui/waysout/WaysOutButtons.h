#pragma once
// Binds a screen's "Save a Copy…", "Show in Folder" and "Send to Phone"
// buttons and its status label to the ringtone's ways out: the buttons send
// the presenter's actions, the label shows what happened, and "Send to
// Phone" shows only while a phone is reachable (with several, it offers a
// menu of them). Save a Copy opens a window-modal file dialog that starts in
// the folder of the last copy with the ringtone's name and offers the
// phones' formats.
#include <QObject>
#include <QFileDialog>
#include <QPointer>

class QLabel;
class QPushButton;

namespace quorvel {

class RingtoneWaysOut;

class WaysOutButtons : public QObject {
    Q_OBJECT
public:
    struct Buttons {
        QPushButton* saveCopy = nullptr;
        QPushButton* showInFolder = nullptr;
        QPushButton* sendToPhone = nullptr;
        QLabel* status = nullptr;
    };
    WaysOutButtons(RingtoneWaysOut& waysOut, Buttons buttons, QObject* parent);

    // Shows or hides the whole set (the export screen shows it once done).
    void setShown(bool shown);
    void refresh();
    // The open Save a Copy dialog, if any.
    QFileDialog* saveDialog() const { return dialog_; }
    void saveCopy();
    void sendToPhone();

private:
    RingtoneWaysOut& waysOut_;
    Buttons buttons_;
    bool shown_ = true;
    QPointer<QFileDialog> dialog_;
};

} // namespace quorvel
