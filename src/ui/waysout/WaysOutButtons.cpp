#include "ui/waysout/WaysOutButtons.h"

#include "screens/RingtoneWaysOut.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace quorvel {

WaysOutButtons::WaysOutButtons(RingtoneWaysOut& waysOut, Buttons buttons, QObject* parent)
    : QObject(parent), waysOut_(waysOut), buttons_(buttons) {
    connect(buttons_.saveCopy, &QPushButton::clicked, this, &WaysOutButtons::saveCopy);
    connect(buttons_.showInFolder, &QPushButton::clicked, this, [this] { waysOut_.showInFolder(); });
    connect(buttons_.sendToPhone, &QPushButton::clicked, this, &WaysOutButtons::sendToPhone);
    connect(&waysOut_, &RingtoneWaysOut::changed, this, &WaysOutButtons::refresh);
    refresh();
}

void WaysOutButtons::setShown(bool shown) {
    shown_ = shown;
    refresh();
}

void WaysOutButtons::refresh() {
    const bool shown = shown_ && waysOut_.hasFile();
    buttons_.saveCopy->setVisible(shown);
    buttons_.saveCopy->setEnabled(!waysOut_.isSaving());
    buttons_.showInFolder->setVisible(shown);
    buttons_.sendToPhone->setVisible(shown && waysOut_.isSendToPhoneShown());
    if (waysOut_.phones().size() == 1)
        buttons_.sendToPhone->setToolTip(tr("Send the ringtone to %1 with KDE Connect").arg(waysOut_.phones().front().name));
    buttons_.status->setVisible(shown && !waysOut_.statusText().isEmpty());
    buttons_.status->setText(waysOut_.statusText());
}

void WaysOutButtons::saveCopy() {
    if (dialog_) {
        dialog_->raise();
        return;
    }
    QWidget* window = buttons_.saveCopy->window();
    dialog_ = new QFileDialog(window, tr("Save a Copy"));
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->setObjectName(QStringLiteral("saveCopyDialog"));
    dialog_->setAcceptMode(QFileDialog::AcceptSave);
    dialog_->setFileMode(QFileDialog::AnyFile);
    const QList<CopyFormatChoice> choices = RingtoneWaysOut::formatChoices();
    QStringList filters;
    for (const CopyFormatChoice& c : choices) filters << QStringLiteral("%1 (*.%2)").arg(c.label, c.extension);
    dialog_->setNameFilters(filters);
    const QFileInfo proposed(waysOut_.proposedCopyPath());
    dialog_->setDirectory(proposed.absolutePath());
    dialog_->selectFile(proposed.fileName());
    dialog_->setDefaultSuffix(choices.front().extension);
    // The name's extension follows the chosen format.
    connect(dialog_, &QFileDialog::filterSelected, dialog_, [dialog = dialog_.data(), filters, choices](const QString& f) {
        const qsizetype i = filters.indexOf(f);
        if (i < 0) return;
        dialog->setDefaultSuffix(choices[i].extension);
        const QStringList names = dialog->selectedFiles();
        if (!names.isEmpty())
            dialog->selectFile(QFileInfo(names.front()).completeBaseName() + QLatin1Char('.') + choices[i].extension);
    });
    connect(dialog_, &QFileDialog::fileSelected, this, [this, filters, choices](const QString& path) {
        const qsizetype i = dialog_ ? filters.indexOf(dialog_->selectedNameFilter()) : 0;
        waysOut_.saveCopy(path, choices[std::max<qsizetype>(0, i)].format);
    });
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->open();
}

void WaysOutButtons::sendToPhone() {
    const QList<PhoneDevice>& phones = waysOut_.phones();
    if (phones.size() <= 1) {
        waysOut_.sendToPhone();
        return;
    }
    auto* menu = new QMenu(buttons_.sendToPhone);
    menu->setObjectName(QStringLiteral("phoneMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const PhoneDevice& phone : phones)
        menu->addAction(phone.name, this, [this, id = phone.id] { waysOut_.sendToPhone(id); });
    menu->popup(buttons_.sendToPhone->mapToGlobal(QPoint(0, buttons_.sendToPhone->height())));
}

} // namespace quorvel
