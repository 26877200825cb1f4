// An export that ends while the window is not active: a notification on the
// session bus (a fake notification service behind it) with the ringtone's
// title and artwork; nothing while the window is active.
#include "ExportEndNotice.h"
#include "FakeDesktop.h"
#include "TestSupport.h"
#include "editor/Ringtune.h"
#include "platform/desktop/DesktopNotifier.h"
#include "screens/ExportViewController.h"

#include <QApplication>
#include <QImage>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

std::shared_ptr<ExportViewController> exportOf(const QString& title) {
    QImage art(16, 16, QImage::Format_RGB32);
    art.fill(Qt::green);
    auto screen = std::make_shared<ExportViewController>();
    screen->setRingtune(std::make_shared<Ringtune>(QUrl(QStringLiteral("ipod-library://item/item.mp3?id=1")), title,
                                                   QStringLiteral("Band"), art));
    return screen;
}

} // namespace

TEST(ExportEndNotice, AnExportEndingOutOfSightIsNotified) {
    test::TempHome home;
    test::FakeNotifications fake;
    test::FakeService service(&fake, DesktopNotifier::kService, DesktopNotifier::kPath);
    ASSERT_TRUE(service.isRegistered());
    QWidget window;
    window.show();
    ASSERT_FALSE(window.isActiveWindow());
    ExportEndNotice notice;
    auto screen = exportOf(QStringLiteral("Bells"));
    notice.watch(screen, &window);
    screen->exportCouldNotStart(QStringLiteral("no disk"));
    ASSERT_TRUE(test::waitUntil([&] { return !fake.calls.isEmpty(); }, 10000));
    EXPECT_EQ(fake.calls.front().summary, QStringLiteral("Bells could not be made"));
    EXPECT_EQ(fake.calls.front().body, QStringLiteral("Export failed"));
    const QUrl image(fake.calls.front().hints.value(QStringLiteral("image-path")).toString());
    EXPECT_EQ(QImage(image.toLocalFile()).pixelColor(0, 0), QColor(Qt::green));
    // Once per export.
    emit screen->changed();
    test::waitUntil([] { return false; }, 300);
    EXPECT_EQ(fake.calls.size(), 1);
}

TEST(ExportEndNotice, NothingWhileTheWindowIsActive) {
    test::TempHome home;
    test::FakeNotifications fake;
    test::FakeService service(&fake, DesktopNotifier::kService, DesktopNotifier::kPath);
    QWidget window;
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(test::waitUntil([&] { return window.isActiveWindow(); }, 3000));
    ExportEndNotice notice;
    auto screen = exportOf(QStringLiteral("Bells"));
    notice.watch(screen, &window);
    screen->exportCouldNotStart(QStringLiteral("no disk"));
    test::waitUntil([] { return false; }, 500);
    EXPECT_TRUE(fake.calls.isEmpty());
}
