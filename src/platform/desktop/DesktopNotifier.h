#pragma once
// Desktop notifications through org.freedesktop.Notifications on the
// session bus, with an image (the ringtone's artwork). Without a
// notification service nothing happens.
//
// Main thread only; the call is asynchronous.
#include <QImage>
#include <QObject>
#include <QString>

namespace quorvel {

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // `image` may be null. The image is handed over as a PNG file in the
    // cache folder, replaced by the next notification's.
    void notify(const QString& summary, const QString& body, const QImage& image);

    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

private:
    uint lastId_ = 0;
};

} // namespace quorvel
