// Start-up work of the ringtone store: open the store file and reconcile it
// with the ringtone files (fetch every row, drop the rows whose file is gone,
// save once).
//   store_reconcile prepare <home> <rows> <missing>   makes the store and files
//   store_reconcile run <home>                        prints the milliseconds taken
//   store_reconcile fetch <home>                      CPU time of fetching every row
#include "platform/core/Paths.h"
#include "platform/store/PersistentStack.h"
#include "ringtones/DBHelper.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <ctime>

using namespace quorvel;

namespace {

int prepare(int rows, int missing) {
    PersistentStack stack(Paths::documentPath(kStoreFileName));
    NSError error;
    auto context = stack.managedObjectContext(&error);
    if (!context) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    // A store past its first start-up: the flags row exists.
    NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("AppFlags"), context.get())
        ->setValue(1, QStringLiteral("oldRingtoneLoaded"));
    const QByteArray artwork(qEnvironmentVariableIntValue("ARTWORK_BYTES"), 'p');
    for (int i = 0; i < rows; ++i) {
        auto row = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context.get());
        const QString file = QStringLiteral("Song %1-1.m4r").arg(i);
        row->setValue(file, QStringLiteral("file"));
        row->setValue(QStringLiteral("Song %1").arg(i), QStringLiteral("title"));
        row->setValue(QStringLiteral("Artist"), QStringLiteral("artist"));
        row->setValue(1, QStringLiteral("counter"));
        row->setValue(QDateTime::currentDateTimeUtc(), QStringLiteral("date"));
        row->setValue(29.5f, QStringLiteral("duration"));
        if (!artwork.isEmpty()) row->setValue(artwork, QStringLiteral("image"));
        if (i % (rows / std::max(1, missing)) != 0 || i / (rows / std::max(1, missing)) >= missing) {
            QFile f(Paths::documentPath(file));
            if (!f.open(QIODevice::WriteOnly)) return 1;
        }
    }
    if (!context->save(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}

int run() {
    QElapsedTimer timer;
    timer.start();
    PersistentStack stack(Paths::documentPath(kStoreFileName));
    NSError error;
    auto context = stack.managedObjectContext(&error);
    if (!context) return 1;
    const double opened = double(timer.nsecsElapsed()) / 1e6;
    DBHelper& db = DBHelper::dbHelper();
    db.setManagedObjectContext(context);
    db.getAppFlags();
    const QString docs = Paths::documentsDirectory() + QLatin1Char('/');
    int deleted = 0;
    double fetched = 0;
    if (auto rows = db.loadRingtonesFromDB()) {
        fetched = double(timer.nsecsElapsed()) / 1e6;
        for (const auto& row : *rows)
            if (!QFileInfo::exists(docs + row->file())) {
                db.deleteRingtone(row);
                ++deleted;
            }
    }
    const double checked = double(timer.nsecsElapsed()) / 1e6;
    if (!db.saveContext()) return 1;
    std::printf("%.1f\n", double(timer.nsecsElapsed()) / 1e6);
    std::fprintf(stderr, "deleted %d rows; opened at %.1f ms, fetched at %.1f, files checked at %.1f\n", deleted,
                 opened, fetched, checked);
    return 0;
}

// CPU time of one fetch of every row into a fresh context (best of ten), which
// a loaded machine disturbs far less than wall time.
int fetchAll() {
    PersistentStack stack(Paths::documentPath(kStoreFileName));
    if (!stack.managedObjectContext()) return 1;
    auto entity = stack.managedObjectModel()->entityNamed(QStringLiteral("Ringtone"));
    double best = 1e9;
    size_t count = 0;
    for (int i = 0; i < 10; ++i) {
        NSManagedObjectContext context;
        context.setPersistentStoreCoordinator(stack.persistentStoreCoordinator());
        NSFetchRequest request;
        request.setEntity(entity);
        timespec a{}, b{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
        auto rows = context.executeFetchRequest(request, nullptr);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
        if (!rows) return 1;
        count = rows->size();
        best = std::min(best, double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6);
    }
    std::printf("fetch of %zu rows: %.1f ms CPU\n", count, best);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc >= 3) qputenv("QUORVEL_HOME", argv[2]);
    if (argc == 5 && QByteArray(argv[1]) == "prepare") return prepare(atoi(argv[3]), atoi(argv[4]));
    if (argc == 3 && QByteArray(argv[1]) == "run") return run();
    if (argc == 3 && QByteArray(argv[1]) == "fetch") return fetchAll();
    std::fprintf(stderr, "usage: store_reconcile prepare <home> <rows> <missing> | run <home>\n");
    return 2;
}
