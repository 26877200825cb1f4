// The desktop's services on a real session bus (the test runs under
// dbus-run-session) with fake services behind it, and KDE Connect's command
// found on PATH.
#include "FakeDesktop.h"
#include "TestSupport.h"
#include "platform/desktop/DesktopFileManager.h"
#include "platform/desktop/DesktopNotifier.h"
#include "platform/desktop/PhoneLink.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QUrl>
#include <gtest/gtest.h>
#include <optional>

using namespace quorvel;
using namespace quorvel::test;

TEST(DesktopFileManager, AsksTheFileManagerToShowTheFileSelected) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs a session bus (dbus-run-session)";
    FakeFileManager fake;
    FakeService service(&fake, DesktopFileManager::kService, DesktopFileManager::kPath);
    ASSERT_TRUE(service.isRegistered());
    DesktopFileManager manager;
    std::optional<DesktopFileManager::Shown> shown;
    manager.showItem(QStringLiteral("/tmp/Rings/Bells-1.m4r"), [&](DesktopFileManager::Shown s) { shown = s; });
    ASSERT_TRUE(waitUntil([&] { return shown.has_value(); }, 10000));
    EXPECT_EQ(*shown, DesktopFileManager::Shown::Selected);
    ASSERT_EQ(fake.shownItems.size(), 1);
    EXPECT_EQ(fake.shownItems.front(), QStringList{QStringLiteral("file:///tmp/Rings/Bells-1.m4r")});
}

TEST(DesktopFileManager, WithoutAFileManagerTheFolderIsOpenedInstead) {
    DesktopFileManager manager;
    std::optional<DesktopFileManager::Shown> shown;
    manager.showItem(QStringLiteral("/tmp/Bells-1.m4r"), [&](DesktopFileManager::Shown s) { shown = s; });
    ASSERT_TRUE(waitUntil([&] { return shown.has_value(); }, 10000));
    // This test program has no GUI application, so the desktop's opener is not tried either.
    EXPECT_EQ(*shown, DesktopFileManager::Shown::Failed);
}

TEST(DesktopNotifier, NotifiesWithTheTitleAndTheArtwork) {
    TempHome home;
    FakeNotifications fake;
    FakeService service(&fake, DesktopNotifier::kService, DesktopNotifier::kPath);
    ASSERT_TRUE(service.isRegistered());
    DesktopNotifier notifier;
    QImage art(32, 32, QImage::Format_RGB32);
    art.fill(Qt::red);
    notifier.notify(QStringLiteral("Bells is ready"), QStringLiteral("Bells-1.m4r"), art);
    ASSERT_TRUE(waitUntil([&] { return !fake.calls.isEmpty(); }, 10000));
    EXPECT_EQ(fake.calls.front().summary, QStringLiteral("Bells is ready"));
    EXPECT_EQ(fake.calls.front().body, QStringLiteral("Bells-1.m4r"));
    const QUrl image(fake.calls.front().hints.value(QStringLiteral("image-path")).toString());
    EXPECT_EQ(QImage(image.toLocalFile()).pixelColor(0, 0), QColor(Qt::red));
}

TEST(PhoneLink, ListsReachableDevicesAndSharesTheFile) {
    FakeKdeConnect fake({QStringLiteral("a1b2c3 Pixel 7"), QStringLiteral("d4e5 Moto G")});
    PhoneLink link;
    std::optional<QList<PhoneDevice>> devices;
    link.listDevices([&](QList<PhoneDevice> d) { devices = d; });
    ASSERT_TRUE(waitUntil([&] { return devices.has_value(); }, 10000));
    ASSERT_EQ(devices->size(), 2);
    EXPECT_EQ(devices->at(0).id, QStringLiteral("a1b2c3"));
    EXPECT_EQ(devices->at(0).name, QStringLiteral("Pixel 7"));
    EXPECT_EQ(devices->at(1).name, QStringLiteral("Moto G"));

    std::optional<QString> error;
    link.share(QStringLiteral("/tmp/Bells 1.m4r"), QStringLiteral("a1b2c3"), [&](QString e) { error = e; });
    ASSERT_TRUE(waitUntil([&] { return error.has_value(); }, 10000));
    EXPECT_TRUE(error->isEmpty());
    EXPECT_EQ(fake.calls().last(), QStringLiteral("--share /tmp/Bells 1.m4r --device a1b2c3"));
}

TEST(PhoneLink, AFailedShareSaysWhyAndNoCommandMeansNoPhones) {
    {
        FakeKdeConnect fake({QStringLiteral("a1 Pixel 7")}, true);
        PhoneLink link;
        std::optional<QString> error;
        link.share(QStringLiteral("/tmp/x.m4r"), QStringLiteral("a1"), [&](QString e) { error = e; });
        ASSERT_TRUE(waitUntil([&] { return error.has_value(); }, 10000));
        EXPECT_EQ(*error, QStringLiteral("error: device not reachable"));
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    PhoneLink link;
    std::optional<QList<PhoneDevice>> devices;
    link.listDevices([&](QList<PhoneDevice> d) { devices = d; });
    qputenv("PATH", path);
    ASSERT_TRUE(devices.has_value());
    EXPECT_TRUE(devices->isEmpty());
}
