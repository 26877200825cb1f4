#pragma once
// A store in a temporary home, read back with the sqlite3 program.
#include "TestSupport.h"
#include "platform/core/NSException.h"
#include "platform/store/CoreDataErrors.h"
#include "platform/store/NSManagedObjectContext.h"
#include "platform/store/PersistentStack.h"

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

namespace quorvel::test {

inline QString sqlite(const QString& path, const QString& sql) {
    ToolResult r = runTool(QStringLiteral("sqlite3"), {path, sql});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return r.out.trimmed();
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline std::shared_ptr<NSManagedObjectModel> appModel() {
    NSError error;
    auto model = NSManagedObjectModel::mergedModelFromDirectory(PersistentStack::modelDirectory(), &error);
    EXPECT_TRUE(model) << error.description().toStdString();
    return model;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = home.documents() + QStringLiteral("/.Quorvel.sqlite");
        context = open();
        ASSERT_TRUE(context);
    }
    std::shared_ptr<NSManagedObjectContext> open(std::shared_ptr<const NSManagedObjectModel> model = nullptr) {
        auto coordinator = std::make_shared<NSPersistentStoreCoordinator>(model ? model : appModel());
        NSError error;
        if (!coordinator->addPersistentStoreWithType(NSSQLiteStoreType, {}, QUrl::fromLocalFile(path), {}, &error)) {
            lastError = error;
            return nullptr;
        }
        auto c = std::make_shared<NSManagedObjectContext>();
        c->setPersistentStoreCoordinator(coordinator);
        return c;
    }
    std::shared_ptr<NSManagedObject> insert(const QString& title, const QVariant& artist = {},
                                            const QVariant& counter = {}) {
        auto o = NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context.get());
        o->setValue(title, QStringLiteral("title"));
        o->setValue(artist, QStringLiteral("artist"));
        o->setValue(counter, QStringLiteral("counter"));
        // Files are unique in the store: a title used again gets a numbered file.
        QString file = title + QStringLiteral(".m4r");
        for (int n = 2; files.contains(file); ++n) file = QStringLiteral("%1-%2.m4r").arg(title).arg(n);
        files.insert(file);
        o->setValue(file, QStringLiteral("file"));
        return o;
    }
    NSManagedObjectList fetch(const QString& format = {}, const QVariantList& args = {},
                              std::vector<NSSortDescriptor> sorts = {}) {
        NSFetchRequest request;
        request.setEntity(NSEntityDescription::entityForName(QStringLiteral("Ringtone"), context.get()));
        if (!format.isEmpty()) request.setPredicate(NSPredicate::predicateWithFormat(format, args));
        request.setSortDescriptors(std::move(sorts));
        NSError error;
        auto result = context->executeFetchRequest(request, &error);
        EXPECT_TRUE(result) << error.description().toStdString();
        return result ? *result : NSManagedObjectList{};
    }
    static QStringList titles(const NSManagedObjectList& objects) {
        QStringList out;
        for (const auto& o : objects) out << o->valueForKey(QStringLiteral("title")).toString();
        return out;
    }

    TempHome home;
    QString path;
    std::shared_ptr<NSManagedObjectContext> context;
    NSError lastError;
    QSet<QString> files;
};

} // namespace quorvel::test
