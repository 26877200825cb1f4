#include "StoreTroubleDialog.h"

#include "app/QuorvelAppDelegate.h"
#include "app/StoreTrouble.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

namespace quorvel {

namespace {
QString asSentence(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text + QLatin1Char('.');
}
} // namespace

StoreTroubleDialog::StoreTroubleDialog(const StoreTrouble& trouble, QWidget* parent) : QMessageBox(parent) {
    setObjectName(QStringLiteral("storeTroubleDialog"));
    setWindowTitle(QStringLiteral("Quorvel"));
    setIcon(QMessageBox::Critical);
    setText(tr("Your ringtones cannot be opened."));
    QString details = asSentence(trouble.what());
    if (trouble.canMoveAside()) {
        details += QStringLiteral("\n\n") +
                   tr("Quorvel can move it aside and start a new, empty store. The damaged file is kept "
                      "in the same folder as %1; nothing is deleted.")
                       .arg(QFileInfo(trouble.keptPath(QDate::currentDate())).fileName());
        moveAside_ = addButton(tr("Move Aside and Start Anew"), QMessageBox::AcceptRole);
        moveAside_->setObjectName(QStringLiteral("moveAsideButton"));
    } else {
        details += QStringLiteral("\n\n") + tr("Nothing was changed. Quorvel ends now.");
    }
    setInformativeText(details);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Wide enough that the store's path stays on a line or two.
    setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 420px; }"));
    QPushButton* quit = addButton(tr("Quit"), QMessageBox::RejectRole);
    quit->setObjectName(QStringLiteral("quitButton"));
    setDefaultButton(moveAside_ ? moveAside_ : quit);
    setEscapeButton(quit);
}

bool StoreTroubleDialog::movesAside() const { return moveAside_ && clickedButton() == moveAside_; }

bool StoreTroubleDialog::launch(QuorvelAppDelegate& delegate) {
    while (!delegate.applicationDidFinishLaunchingWithOptions()) {
        if (!delegate.storeTrouble()) return false;
        StoreTroubleDialog ask(*delegate.storeTrouble());
        ask.exec();
        if (!ask.movesAside()) return false;
        QString keptAs, error;
        if (!delegate.moveDamagedStoreAside(&keptAs, &error)) {
            QMessageBox failed(QMessageBox::Critical, QStringLiteral("Quorvel"),
                               tr("The store could not be moved aside: %1. Nothing was changed.").arg(error),
                               QMessageBox::Close);
            failed.setObjectName(QStringLiteral("moveAsideFailedDialog"));
            failed.exec();
            return false;
        }
    }
    return true;
}

} // namespace quorvel
