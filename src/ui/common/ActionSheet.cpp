#include "ui/common/ActionSheet.h"

#include "ui/common/ScreenStack.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel {

ActionSheet::ActionSheet(ScreenStack* stack, ClickHandler clicked) : ModalPanel(stack, std::move(clicked)) {
    setObjectName(QStringLiteral("actionSheet"));
}

ActionSheet* ActionSheet::show(ScreenStack* stack, const QString& title, const QString& cancelButtonTitle,
                               const QString& destructiveButtonTitle, const QStringList& otherButtonTitles,
                               ClickHandler clicked) {
    auto* sheet = new ActionSheet(stack, std::move(clicked));
    sheet->panel_ = new QWidget(sheet);
    auto* column = new QVBoxLayout(sheet->panel_);
    column->setContentsMargins(18, 14, 18, 18);
    column->setSpacing(8);
    if (!title.isEmpty()) {
        auto* label = new QLabel(title, sheet->panel_);
        label->setObjectName(QStringLiteral("alertTitle"));
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setStyleSheet(QStringLiteral("color: white; font-size: 13px;"));
        column->addWidget(label);
    }
    int index = 0;
    if (!destructiveButtonTitle.isEmpty())
        column->addWidget(sheet->makeButton(destructiveButtonTitle, index++, true, true));
    for (const QString& other : otherButtonTitles) column->addWidget(sheet->makeButton(other, index++, false));
    if (!cancelButtonTitle.isEmpty()) {
        column->addSpacing(6);
        sheet->cancelIndex_ = index;
        column->addWidget(sheet->makeButton(cancelButtonTitle, index++, true));
    }
    sheet->open(sheet->cancelIndex_);
    sheet->place();
    return sheet;
}

void ActionSheet::place() {
    if (!panel_) return;
    const int height = panel_->sizeHint().height();
    panel_->setGeometry(-1, this->height() - height + 1, width() + 2, height);
}

void ActionSheet::resizeEvent(QResizeEvent* event) {
    ModalPanel::resizeEvent(event);
    place();
}

QRect ActionSheet::panelRect() const { return panel_ ? panel_->geometry().adjusted(0, 0, 0, 12) : QRect(); }

} // namespace quorvel
