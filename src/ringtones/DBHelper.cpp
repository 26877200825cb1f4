#include "ringtones/DBHelper.h"

#include "editor/Ringtune.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSException.h"
#include "platform/core/NoReplaceRename.h"
#include "platform/core/Paths.h"
#include "platform/store/CoreDataErrors.h"
#include "platform/store/ExclusiveWrite.h"
#include "ringtones/RingtoneFileName.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <cmath>

namespace quorvel {

namespace {
// "No artist" is stored as no value, so that lookups and rows agree.
QVariant artistValue(const QString& artist) { return artist.isEmpty() ? QVariant() : QVariant(artist); }

template <class T> std::shared_ptr<T> single(const std::optional<NSManagedObjectList>& objects) {
    return objects && objects->size() == 1 ? std::dynamic_pointer_cast<T>(objects->front()) : nullptr;
}
} // namespace

DBHelper::DBHelper() {
    Ringtone::registerClass();
    AppFlags::registerClass();
}

DBHelper& DBHelper::dbHelper() {
    static DBHelper instance; // made once, under the language's initialisation lock
    return instance;
}

std::shared_ptr<NSManagedObjectContext> DBHelper::managedObjectContext() const {
    std::lock_guard guard(lock_);
    return context_;
}

void DBHelper::setManagedObjectContext(std::shared_ptr<NSManagedObjectContext> context) {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    context_ = std::move(context);
}

std::shared_ptr<AppFlags> DBHelper::getAppFlags() {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    // "No row yet" must still hold when the new row is saved.
    ExclusiveWrite write(context_.get());
    NSFetchRequest request;
    request.setEntity(NSEntityDescription::entityForName(QStringLiteral("AppFlags"), context_.get()));
    NSError error;
    auto flags = context_->executeFetchRequest(request, &error);
    if (!flags) {
        NSLog("%@", error);
        return nullptr;
    }
    if (flags->empty()) {
        auto created = std::dynamic_pointer_cast<AppFlags>(
            NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("AppFlags"), context_.get()));
        if (created) created->setOldRingtoneLoaded(0);
        context_->save(nullptr); // a failure leaves the row pending for the next save
        return nullptr;
    }
    return single<AppFlags>(flags);
}

std::optional<std::vector<std::shared_ptr<AppFlags>>> DBHelper::fetchAppFlags(NSError* error) {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    NSFetchRequest request;
    request.setEntity(NSEntityDescription::entityForName(QStringLiteral("AppFlags"), context_.get()));
    auto objects = context_->executeFetchRequest(request, error);
    if (!objects) return std::nullopt;
    std::vector<std::shared_ptr<AppFlags>> flags;
    for (const auto& object : *objects)
        if (auto row = std::dynamic_pointer_cast<AppFlags>(object)) flags.push_back(row);
    // Oldest first: saved rows by key, then rows not saved yet.
    std::stable_sort(flags.begin(), flags.end(), [](const auto& a, const auto& b) {
        const auto key = [](const auto& row) { return row->rowID() == 0 ? LLONG_MAX : row->rowID(); };
        return key(a) < key(b);
    });
    return flags;
}

std::optional<NSManagedObjectList> DBHelper::fetchRingtones(const QString& format, const QVariantList& arguments,
                                                            const std::vector<NSSortDescriptor>& sorts,
                                                            bool logErrors) {
    NSFetchRequest request;
    try {
        request.setEntity(NSEntityDescription::entityForName(QStringLiteral("Ringtone"), context_.get()));
    } catch (const NSException& e) {
        if (logErrors) NSLog("%@", e);
    }
    if (!format.isEmpty()) request.setPredicate(NSPredicate::predicateWithFormat(format, arguments));
    request.setSortDescriptors(sorts);
    if (!context_) return std::nullopt; // no context: the fetch yields nothing
    NSError error;
    auto objects = context_->executeFetchRequest(request, &error);
    if (!objects && logErrors) NSLog("%@", error);
    return objects;
}

std::shared_ptr<Ringtone> DBHelper::loadRingtoneWithNameFromDB(const QString& name) {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    return single<Ringtone>(fetchRingtones(QStringLiteral("file = %@"), {name}, {}, true));
}

std::shared_ptr<Ringtone> DBHelper::loadLastRingtoneWithTitle(const QString& title, const QString& artist) {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    auto objects = fetchRingtones(QStringLiteral("(title = %@) AND (artist = %@)"), {title, artistValue(artist)},
                                  {{QStringLiteral("counter"), false}}, true);
    if (!objects || objects->empty()) return nullptr;
    return std::dynamic_pointer_cast<Ringtone>(objects->front());
}

std::optional<std::vector<std::shared_ptr<Ringtone>>> DBHelper::loadRingtonesFromDB() {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    if (!context_) return std::nullopt;
    auto objects = fetchRingtones(QString(), {}, {}, false);
    if (!objects) return std::nullopt;
    std::vector<std::shared_ptr<Ringtone>> ringtones;
    ringtones.reserve(objects->size());
    for (const auto& object : *objects)
        if (auto ringtone = std::dynamic_pointer_cast<Ringtone>(object)) ringtones.push_back(ringtone);
    return ringtones;
}

std::shared_ptr<Ringtone> DBHelper::storeRingtone(const QUrl& fileURL) {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    const QString name = fileURL.fileName();
    ExclusiveWrite write(context_.get());
    // The recorded row when there is one. Where several already share the name
    // (made outside this class), the newest is returned and no further row is
    // added: rows sharing a file would delete each other's audio.
    auto recorded = fetchRingtones(QStringLiteral("file = %@"), {name}, {{QStringLiteral("date"), false}}, true);
    if (recorded && !recorded->empty()) return std::dynamic_pointer_cast<Ringtone>(recorded->front());

    auto ringtone = std::dynamic_pointer_cast<Ringtone>(
        NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context_.get()));
    ringtone->setFile(name);
    ringtone->setTitle(name.chopped(std::min<qsizetype>(4, name.size())));
    ringtone->setDate(QDateTime::currentDateTimeUtc());
    ringtone->setCounter(0);
    return saveContext() ? ringtone : nullptr;
}

bool DBHelper::fileNameTaken(const QString& name) {
    auto rows = fetchRingtones(QStringLiteral("file = %@"), {name}, {}, false);
    return (rows && !rows->empty()) || QFileInfo::exists(Paths::documentPath(name));
}

bool DBHelper::storeRingtone(const std::shared_ptr<Ringtune>& ringtune, const QByteArray& artworkPng) {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    if (!ringtune) return false;
    // From the choice of the counter to the saved row, no other process
    // writes: it cannot take the same counter or file name in between.
    ExclusiveWrite write(context_.get());
    auto ringtone = std::dynamic_pointer_cast<Ringtone>(
        NSEntityDescription::insertNewObjectForEntityForName(QStringLiteral("Ringtone"), context_.get()));
    ringtone->setTitle(ringtune->title());
    ringtone->setValue(artistValue(ringtune->artist()), QStringLiteral("artist"));
    ringtone->setImage(artworkPng.isEmpty() ? QByteArray() : artworkPng);
    ringtone->setDate(QDateTime::currentDateTimeUtc());
    const double seconds = CMTimeGetSeconds(ringtune->duration());
    ringtone->setDuration(std::isfinite(seconds) ? std::optional<float>(float(seconds)) : std::nullopt);

    // The new row is pending and matches too; its empty counter counts as 0.
    auto last = loadLastRingtoneWithTitle(ringtune->title(), ringtune->artist());
    qint32 counter = last ? last->counter().value_or(0) + 1 : 1;
    // The counter runs per title and artist, but the name comes from the working
    // file: take the next number whose name no row and no file has yet.
    const QString base = RingtoneFileName::baseOf(QFileInfo(ringtune->filePath()).fileName());
    QString name = RingtoneFileName::withCounter(base, counter);
    while (fileNameTaken(name)) name = RingtoneFileName::withCounter(base, ++counter);

    // The writers wrote the work file; it takes its name before the row is
    // committed (whatever the save's outcome), so a clean-up in another process
    // never sees the row without its file. The move never replaces a file: one
    // that appeared meanwhile under the chosen name sends it to the next number.
    const QString source = Ringtune::workFilePath();
    QFileInfo sourceInfo(source);
    if (sourceInfo.exists() && sourceInfo.isFile()) {
        QString why;
        for (;;) {
            const auto moved = NoReplaceRename::move(source, Paths::documentPath(name), &why);
            if (moved != NoReplaceRename::Result::Exists) {
                if (moved == NoReplaceRename::Result::Failed) NSLog("The exported file keeps its work name: %@", why);
                break;
            }
            do name = RingtoneFileName::withCounter(base, ++counter);
            while (fileNameTaken(name));
        }
        ringtune->setStoredFilePath(QUrl::fromLocalFile(Paths::documentPath(name)));
    }
    ringtone->setCounter(counter);
    ringtone->setFile(name);
    return saveContext();
}

DBHelper::Removal DBHelper::removeRingtone(const std::shared_ptr<Ringtone>& ringtone, QString* error) {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    if (!ringtone || !context_) return Removal::Gone;
    // The check, the file and the row in one step that no other process can
    // interleave: a row deleted elsewhere meanwhile (its key is never given
    // again) is not mistaken for another ringtone that took its file name.
    ExclusiveWrite write(context_.get());
    if (!ringtone->isInserted()) {
        auto stored = fetchRingtones(QStringLiteral("file = %@"), {ringtone->file()}, {}, true);
        const bool stillStored = stored && std::any_of(stored->begin(), stored->end(), [&](const auto& row) {
            return row == ringtone && row->rowID() != 0;
        });
        if (!stillStored) return Removal::Gone;
        const QString path = Paths::documentPath(ringtone->file());
        if (QFileInfo(path).isFile() && !QFile::remove(path)) {
            if (error) *error = QStringLiteral("%1 could not be removed").arg(path);
            return Removal::Failed;
        }
    }
    deleteRingtone(ringtone);
    if (!saveContext()) {
        if (error) *error = QStringLiteral("the ringtone store could not be saved");
        return Removal::Failed;
    }
    return Removal::Removed;
}

void DBHelper::deleteRingtone(const std::shared_ptr<Ringtone>& ringtone) {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    if (context_) context_->deleteObject(ringtone);
}

bool DBHelper::saveContext() {
    QUORVEL_ASSERT_MAIN_THREAD();
    std::lock_guard guard(lock_);
    NSError error;
    bool saved = false;
    if (context_) {
        std::lock_guard contextGuard(*context_);
        saved = context_->save(&error);
    } else {
        error.domain = NSCocoaErrorDomain;
        error.code = NSCoreDataError;
        error.localizedDescription = QStringLiteral("There is no store context.");
    }
    if (saved) return true;
    NSLog("Failed to save to data store: class %@ %@", "DBHelper", error.localizedDescription);
    const QVariantList detailed = error.userInfo.value(NSDetailedErrorsKey).toList();
    if (!detailed.isEmpty()) {
        for (const QVariant& detail : detailed) NSLog("  DetailedError: %@", detail.toMap());
    } else {
        NSLog("  %@", error.userInfo);
    }
    return false;
}

} // namespace quorvel
