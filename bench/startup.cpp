// Start-up with a large store: opens the store and reconciles it with the
// documents folder, as the program does when it starts.
//   startup populate N   makes N stored ringtones and their files in $QUORVEL_HOME
//   startup measure      runs the start-up once and prints its time in ms
#include "app/QuorvelAppDelegate.h"
#include "platform/core/Paths.h"
#include "platform/store/NSEntityDescription.h"
#include "rating/Appirater.h"
#include "ringtones/DBHelper.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

using namespace quorvel;

static int populate(int count) {
    QuorvelAppDelegate delegate(false);
    delegate.applicationDidFinishLaunchingWithOptions(); // empty folder: sets the migration flag
    auto context = delegate.managedObjectContext();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("Song %1-1.m4r").arg(i);
        QFile f(Paths::documentPath(name));
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write("m4r");
        auto row = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context.get());
        row->setValue(name, QStringLiteral("file"));
        row->setValue(QStringLiteral("Song %1").arg(i), QStringLiteral("title"));
        row->setValue(QStringLiteral("Band"), QStringLiteral("artist"));
        row->setValue(now.addSecs(i), QStringLiteral("date"));
        row->setValue(1, QStringLiteral("counter"));
        row->setValue(29.5f, QStringLiteral("duration"));
    }
    NSError error;
    if (!context->save(&error)) {
        std::fprintf(stderr, "save failed: %s\n", error.localizedDescription.toUtf8().constData());
        return 1;
    }
    Appirater::waitForPendingCounts();
    return 0;
}

static int measure() {
    QElapsedTimer timer;
    timer.start();
    QuorvelAppDelegate delegate(false);
    delegate.applicationDidFinishLaunchingWithOptions();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    auto rows = DBHelper::dbHelper().loadRingtonesFromDB();
    std::printf("%.1f ms for %zu stored ringtones\n", ms, rows ? rows->size() : size_t(0));
    Appirater::waitForPendingCounts();
    return 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QStringLiteral("populate")) return populate(args[2].toInt());
    if (args.size() >= 2 && args[1] == QStringLiteral("measure")) return measure();
    std::fprintf(stderr, "usage: startup populate N | startup measure\n");
    return 2;
}
