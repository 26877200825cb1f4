#include "ui/common/AlertView.h"

#include "ui/common/ActivityIndicator.h"
#include "ui/common/ScreenStack.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace quorvel {

namespace {
constexpr int kPanelWidth = 276;
} // namespace

AlertView::AlertView(ScreenStack* stack, ClickHandler clicked) : ModalPanel(stack, std::move(clicked)) {
    setObjectName(QStringLiteral("alertView"));
}

AlertView* AlertView::show(ScreenStack* stack, const QString& title, const QString& message,
                           const QString& cancelButtonTitle, const QStringList& otherButtonTitles,
                           ClickHandler clicked) {
    auto* alert = new AlertView(stack, std::move(clicked));
    QStringList buttons = otherButtonTitles;
    const bool hasCancel = !cancelButtonTitle.isEmpty();
    if (hasCancel) buttons.prepend(cancelButtonTitle);
    alert->build(title, message, buttons, hasCancel, false);
    // Esc answers with the cancel button, or with the only button there is.
    alert->open(hasCancel || buttons.size() == 1 ? 0 : -1);
    return alert;
}

AlertView* AlertView::showProcessingNotice(ScreenStack* stack, const QString& title) {
    auto* alert = new AlertView(stack, {});
    alert->setObjectName(QStringLiteral("processingNotice"));
    alert->build(title, QString(), {}, false, true);
    alert->open(-1);
    return alert;
}

void AlertView::build(const QString& title, const QString& message, const QStringList& buttons, bool hasCancel,
                      bool spinner) {
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("alertPanel"));
    auto* column = new QVBoxLayout(panel_);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(8);
    title_ = new QLabel(title, panel_);
    title_->setObjectName(QStringLiteral("alertTitle"));
    title_->setAlignment(Qt::AlignCenter);
    title_->setWordWrap(true);
    title_->setStyleSheet(QStringLiteral("color: white; font-weight: bold; font-size: 15px;"));
    title_->setVisible(!title.isEmpty());
    column->addWidget(title_);
    message_ = new QLabel(message, panel_);
    message_->setObjectName(QStringLiteral("alertMessage"));
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    message_->setStyleSheet(QStringLiteral("color: white; font-size: 13px;"));
    message_->setVisible(!message.isEmpty());
    column->addWidget(message_);
    if (spinner) {
        activity_ = new ActivityIndicator(panel_);
        activity_->setObjectName(QStringLiteral("alertActivity"));
        activity_->setFixedSize(37, 37);
        column->addWidget(activity_, 0, Qt::AlignHCenter);
        activity_->startAnimating();
    }
    if (!buttons.isEmpty()) {
        column->addSpacing(4);
        // Two buttons side by side, cancel on the left; more go one under another.
        QBoxLayout* row = buttons.size() == 2 ? static_cast<QBoxLayout*>(new QHBoxLayout)
                                              : static_cast<QBoxLayout*>(new QVBoxLayout);
        row->setSpacing(8);
        for (int i = 0; i < buttons.size(); ++i) {
            const bool emphasised = hasCancel ? i == 0 && buttons.size() > 1 : false;
            row->addWidget(makeButton(buttons[i], i, emphasised));
        }
        column->addLayout(row);
    }
    place();
}

void AlertView::place() {
    if (!panel_) return;
    const int width = std::min(kPanelWidth, this->width() - 24);
    const int height = panel_->layout()->heightForWidth(width) > 0 ? panel_->layout()->heightForWidth(width)
                                                                   : panel_->sizeHint().height();
    panel_->setGeometry((this->width() - width) / 2, (this->height() - height) / 2, width, height);
}

void AlertView::resizeEvent(QResizeEvent* event) {
    ModalPanel::resizeEvent(event);
    place();
}

QRect AlertView::panelRect() const { return panel_ ? panel_->geometry() : QRect(); }

QString AlertView::title() const { return title_ ? title_->text() : QString(); }
QString AlertView::message() const { return message_ ? message_->text() : QString(); }

} // namespace quorvel
