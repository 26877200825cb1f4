#pragma once
// Tells the user that an export ended while the window was not active: a
// desktop notification with the ringtone's title and artwork, and the task
// bar entry asks for attention. Nothing while the window is active, and no
// notification without a notification service.
//
// Main thread only.
#include "platform/desktop/DesktopNotifier.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <memory>

class QWidget;

namespace quorvel {

class ExportViewController;

class ExportEndNotice : public QObject {
    Q_OBJECT
public:
    explicit ExportEndNotice(QObject* parent = nullptr);

    // Follows `screen` until its export ends; `window` is the one to flash.
    void watch(const std::shared_ptr<ExportViewController>& screen, QWidget* window);

private:
    void exportChanged();

    DesktopNotifier notifier_;
    std::weak_ptr<ExportViewController> screen_;
    QPointer<QWidget> window_;
    QMetaObject::Connection connection_;
};

} // namespace quorvel
