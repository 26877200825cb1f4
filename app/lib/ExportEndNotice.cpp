#include "ExportEndNotice.h"

#include "editor/Ringtune.h"
#include "platform/core/LocalizedStrings.h"
#include "screens/ExportViewController.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

namespace quorvel {

ExportEndNotice::ExportEndNotice(QObject* parent) : QObject(parent) {}

void ExportEndNotice::watch(const std::shared_ptr<ExportViewController>& screen, QWidget* window) {
    disconnect(connection_);
    screen_ = screen;
    window_ = window;
    if (screen) connection_ = connect(screen.get(), &ExportViewController::changed, this, &ExportEndNotice::exportChanged);
}

void ExportEndNotice::exportChanged() {
    const auto screen = screen_.lock();
    if (!screen || screen->outcome() == ExportViewController::Outcome::Running) return;
    disconnect(connection_); // once per export
    if (screen->isShutDown() || !window_ || window_->isActiveWindow()) return;
    const auto& ringtune = screen->ringtune();
    const QString title = ringtune ? ringtune->title() : QString();
    const bool done = screen->outcome() == ExportViewController::Outcome::Done;
    const QString summary = NSLocalizedString(done ? QStringLiteral("export_done_notification")
                                                   : QStringLiteral("export_failed_notification"))
                                .arg(title);
    const QString body = done && ringtune ? NSLocalizedString(QStringLiteral("export_done_body"))
                                                .arg(QFileInfo(ringtune->storedFilePath().toLocalFile()).fileName())
                                          : NSLocalizedString(screen->labelKey());
    notifier_.notify(summary, body, ringtune ? ringtune->artwork() : QImage());
    QApplication::alert(window_);
}

} // namespace quorvel
