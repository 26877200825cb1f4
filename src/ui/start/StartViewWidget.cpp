#include "ui/start/StartViewWidget.h"

#include "platform/core/Paths.h"
#include "ui/common/ScreenStack.h"
#include "ui/picker/MPMediaPickerController.h"
#include "ui_StartView.h"

#include <QFileInfo>
#include <QHideEvent>
#include <QPainter>
#include <QShortcut>

namespace quorvel {

namespace {
// The pattern at twice the resolution where there is one, so it stays sharp scaled.
QPixmap patternImage(const QString& name) {
    const QString path = Paths::resourcePath(name);
    const QString twice = QString(path).replace(QStringLiteral(".png"), QStringLiteral("@2x.png"));
    QPixmap pixmap;
    if (QFileInfo::exists(twice) && pixmap.load(twice)) {
        pixmap.setDevicePixelRatio(2.0);
        return pixmap;
    }
    pixmap.load(path);
    return pixmap;
}
} // namespace

StartViewWidget::StartViewWidget(MPMediaLibrary& library, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::StartView>()), library_(library) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("StartView"));
    background_ = patternImage(QString::fromLatin1(StartViewController::kBackgroundImage));
    controller_.setView(this);
    connect(ui_->fmButton, &QPushButton::clicked, this, [this] { controller_.showMediaPicker(); });
    const auto add = [this](QKeyCombination keys, const char* name, void (StartViewWidget::*wanted)()) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        shortcut->setObjectName(QString::fromLatin1(name));
        connect(shortcut, &QShortcut::activated, this, [this, wanted] {
            const ScreenStack* stack = ScreenStack::stackOf(this);
            if (stack && !stack->isInteractive()) return;
            emit(this->*wanted)();
        });
    };
    add(Qt::CTRL | Qt::Key_R, "recordShortcut", &StartViewWidget::recorderWanted);
    add(Qt::CTRL | Qt::Key_L, "listShortcut", &StartViewWidget::listWanted);
}

StartViewWidget::~StartViewWidget() {
    if (picker_) picker_->dismiss(false);
}

MPMediaPickerController* StartViewWidget::mediaPicker() const { return picker_; }

void StartViewWidget::presentMediaPicker(const QString& prompt, bool allowsPickingMultipleItems,
                                         MPMediaPickerControllerDelegate* delegate) {
    if (picker_) {
        picker_->raise();
        picker_->activateWindow();
        return;
    }
    ScreenStack* stack = ScreenStack::stackOf(this);
    QWidget* owner = stack ? stack->dialogParent() : window();
    picker_ = new MPMediaPickerController(owner, library_);
    picker_->setPrompt(prompt);
    picker_->setAllowsPickingMultipleItems(allowsPickingMultipleItems);
    picker_->setDelegate(delegate);
    picker_->present();
}

void StartViewWidget::dismissMediaPicker(bool animated) {
    if (picker_) picker_->dismiss(animated);
    picker_ = nullptr;
}

void StartViewWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Closing the screen closes its picker; a minimised window does not.
    if (!event->spontaneous()) dismissMediaPicker(false);
}

void StartViewWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!background_.isNull()) {
        p.drawTiledPixmap(rect(), background_);
        return;
    }
    // Until the pattern image is there: the same deep blue it is drawn in.
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0.0, QColor(32, 58, 112));
    fill.setColorAt(1.0, QColor(10, 20, 46));
    p.fillRect(rect(), fill);
}

} // namespace quorvel
