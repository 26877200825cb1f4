#include "InterimScreen.h"

#include "ExportViewController.h"
#include "LocalizedStrings.h"
#include "PDColoredProgressView.h"
#include "UIImage.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel {

InterimScreen::InterimScreen(const QString& title, const QString& text, std::function<void()> done, QWidget* parent)
    : QWidget(parent), done_(std::move(done)) {
    setObjectName(QStringLiteral("interimScreen"));
    setStyleSheet(QStringLiteral(
        "QLabel { color: white; background: transparent; }"
        "QLabel#interimTitle { font-size: 22px; font-weight: bold; }"
        "QLabel#interimText { font-size: 14px; }"
        "QPushButton { color: white; font-size: 15px; font-weight: bold; min-height: 40px; padding: 0 24px;"
        " border: 2px solid rgba(255,255,255,180); border-radius: 10px; background: rgba(95,224,204,90); }"
        "QPushButton:pressed { background: rgba(0,0,0,90); }"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 40, 24, 40);
    column->setSpacing(16);
    auto* heading = new QLabel(title, this);
    heading->setObjectName(QStringLiteral("interimTitle"));
    heading->setAlignment(Qt::AlignCenter);
    heading->setWordWrap(true);
    text_ = new QLabel(text, this);
    text_->setObjectName(QStringLiteral("interimText"));
    text_->setAlignment(Qt::AlignCenter);
    text_->setWordWrap(true);
    button_ = new QPushButton(tr("Back"), this);
    button_->setObjectName(QStringLiteral("interimDoneButton"));
    connect(button_, &QPushButton::clicked, this, &InterimScreen::done);
    column->addWidget(heading);
    column->addWidget(text_);
    column->addStretch(1);
    column->addWidget(button_, 0, Qt::AlignHCenter);
}

void InterimScreen::followExport(const std::shared_ptr<ExportViewController>& exporter) {
    exporter_ = exporter;
    progress_ = new PDColoredProgressView(this);
    progress_->setObjectName(QStringLiteral("interimProgress"));
    progress_->setFixedHeight(20);
    static_cast<QVBoxLayout*>(layout())->insertWidget(2, progress_);
    connect(exporter.get(), &ExportViewController::changed, this, &InterimScreen::exportChanged);
    exportChanged();
}

void InterimScreen::exportChanged() {
    auto exporter = exporter_.lock();
    if (!exporter) return;
    progress_->setProgress(exporter->progress());
    const bool running = exporter->outcome() == ExportViewController::Outcome::Running;
    QString text = exporter->labelKey().isEmpty() ? tr("Exporting…") : NSLocalizedString(exporter->labelKey());
    if (!exporter->failureDescription().isEmpty()) text += QStringLiteral("\n") + exporter->failureDescription();
    text_->setText(text);
    button_->setText(running ? tr("Cancel") : tr("Done"));
}

void InterimScreen::done() {
    // A running export is cancelled first; the editor hears of the end
    // through the export's finish delegate.
    auto exporter = exporter_.lock();
    if (exporter && exporter->outcome() == ExportViewController::Outcome::Running) {
        exporter->cancelFinish();
        return;
    }
    if (done_) done_();
}

void InterimScreen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawTiledPixmap(rect(), UIImage::imageNamed(QStringLiteral("fmBG.png")));
}

} // namespace quorvel
