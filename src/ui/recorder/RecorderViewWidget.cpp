#include "ui/recorder/RecorderViewWidget.h"

#include "platform/core/LocalizedStrings.h"
#include "ui/controls/UIImage.h"
#include "ui_RecorderView.h"

#include <QFontDatabase>
#include <QPainter>
#include <QShowEvent>
#include <QStyle>

namespace quorvel {

QFont RecorderViewWidget::lcdFont() {
    static const bool substituted = [] {
        QFont::insertSubstitutions(QString::fromLatin1(RecorderViewController::kTimeFontFamily),
                                   {QStringLiteral("DSEG7 Classic"), QStringLiteral("DSEG7 Modern")});
        return true;
    }();
    (void)substituted;
    QFont font(QString::fromLatin1(RecorderViewController::kTimeFontFamily));
    font.setBold(true);
    font.setPixelSize(int(RecorderViewController::kTimeFontPointSize));
    return font;
}

RecorderViewWidget::RecorderViewWidget(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::RecorderView>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("RecorderView"));
    background_ = UIImage::imageNamed(QString::fromLatin1(RecorderViewController::kBackgroundImage));
    ui_->displayTime->setFont(lcdFont());
    connect(ui_->recordButton, &QPushButton::clicked, &controller_, &RecorderViewController::startOrStopRecording);
    connect(ui_->doneButton, &QPushButton::clicked, &controller_, &RecorderViewController::done);
    connect(&controller_, &RecorderViewController::changed, this, &RecorderViewWidget::refresh);
    controller_.viewDidLoad();
    refresh();
}

RecorderViewWidget::~RecorderViewWidget() = default;

void RecorderViewWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) controller_.viewDidAppear();
}

void RecorderViewWidget::refresh() {
    const QPixmap image = UIImage::imageNamed(controller_.recordButtonImage());
    ui_->recordButton->setIcon(image);
    ui_->recordButton->setProperty("image", controller_.recordButtonImage());
    if (!controller_.displayLabelKey().isEmpty())
        ui_->displayLabel->setText(NSLocalizedString(controller_.displayLabelKey()));
    if (ui_->displayLabel->property("red").toBool() != controller_.isDisplayLabelRed()) {
        ui_->displayLabel->setProperty("red", controller_.isDisplayLabelRed());
        ui_->displayLabel->style()->unpolish(ui_->displayLabel);
        ui_->displayLabel->style()->polish(ui_->displayLabel);
    }
    if (!controller_.displayTimeText().isEmpty()) ui_->displayTime->setText(controller_.displayTimeText());
}

void RecorderViewWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!background_.isNull())
        p.drawTiledPixmap(rect(), background_);
    else
        p.fillRect(rect(), QColor(16, 30, 62));
}

} // namespace quorvel
