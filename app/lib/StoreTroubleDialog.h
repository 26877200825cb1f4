#pragma once
// The program's start-up with the ringtone store: where the store cannot be
// opened, a window says what happened and where the file is, instead of a
// black screen and a line on standard error. A damaged store can be moved
// aside there (kept beside it under a dated name) and a new one started.
//
//   if (!StoreTroubleDialog::launch(delegate)) return 1;
#include <QMessageBox>

namespace quorvel {

class QuorvelAppDelegate;
class StoreTrouble;

class StoreTroubleDialog : public QMessageBox {
    Q_OBJECT
public:
    explicit StoreTroubleDialog(const StoreTrouble& trouble, QWidget* parent = nullptr);

    // Launches the delegate; while the store is in trouble, asks. True once
    // launched, false when the user quits or nothing can be done.
    static bool launch(QuorvelAppDelegate& delegate);

    // Whether the user chose to move the store aside.
    bool movesAside() const;

private:
    QPushButton* moveAside_ = nullptr;
};

} // namespace quorvel
