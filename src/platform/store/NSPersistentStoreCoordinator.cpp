#include "platform/store/NSPersistentStoreCoordinator.h"

#include "platform/store/CoreDataErrors.h"
#include "platform/store/NSPredicate.h"
#include "platform/store/SqliteTransaction.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace quorvel {

namespace {

QString quoted(const QString& name) { return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"'); }

// Binary values live in a table of their own per attribute, keyed like their
// row, so that reading the rows never wades through artwork.
QString sideTable(const NSEntityDescription& entity, const NSAttributeDescription& attribute) {
    return quoted(entity.name() + QLatin1Char('_') + attribute.name);
}

bool isBinary(const NSAttributeDescription& attribute) { return attribute.type == NSAttributeType::Binary; }

// Refuses a second row, whoever inserts it.
QString singleRowTrigger(const QString& entity) {
    return QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 WHEN EXISTS (SELECT 1 FROM %2) "
                          "BEGIN SELECT RAISE(ABORT, '%3 holds one row'); END")
        .arg(quoted(QStringLiteral("Z_%1_ONE_ROW").arg(entity)), quoted(entity), entity);
}

quint32 bigEndian32(const QByteArray& bytes, int offset) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData() + offset);
    return (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | quint32(b[3]);
}

// Makes a rename inside `directory` durable.
void syncDirectory(const QString& directory) {
    int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void bindVariant(SqliteStatement& statement, int index, const QVariant& value) {
    if (!value.isValid()) {
        statement.bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QString: statement.bindText(index, value.toString()); break;
    case QMetaType::QByteArray: statement.bindBlob(index, value.toByteArray()); break;
    case QMetaType::QDateTime: statement.bindDouble(index, double(value.toDateTime().toMSecsSinceEpoch()) / 1000.0); break;
    case QMetaType::Float:
    case QMetaType::Double: statement.bindDouble(index, value.toDouble()); break;
    default: statement.bindInt64(index, value.toLongLong()); break;
    }
}

} // namespace

NSPersistentStoreCoordinator::NSPersistentStoreCoordinator(std::shared_ptr<const NSManagedObjectModel> model)
    : model_(std::move(model)) {}

NSPersistentStoreCoordinator::~NSPersistentStoreCoordinator() = default;

QString NSPersistentStoreCoordinator::storePath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void NSPersistentStoreCoordinator::fillError(NSError* error, long long code, const QString& description,
                                             const QString& reason) {
    if (!error) return;
    error->domain = NSCocoaErrorDomain;
    error->code = code;
    error->localizedDescription = description;
    error->userInfo = {{NSReasonErrorKey, reason}, {NSFilePathErrorKey, path_}};
    if (db_.errorCode() != 0) error->userInfo.insert(NSSQLiteErrorDomainKey, db_.errorCode());
}

bool NSPersistentStoreCoordinator::addPersistentStoreWithType(const QString& storeType, const QString&,
                                                              const QUrl& storeURL, const QVariantMap&,
                                                              NSError* error) {
    std::lock_guard lock(mutex_);
    path_ = storeURL.toLocalFile();
    if (storeType != NSSQLiteStoreType || !storeURL.isLocalFile() || path_.isEmpty()) {
        fillError(error, NSPersistentStoreInvalidTypeError, QStringLiteral("The store type or URL is not supported."),
                  QStringLiteral("unsupported store type %1 at %2").arg(storeType, storeURL.toString()));
        return false;
    }
    if (db_.isOpen()) {
        fillError(error, NSPersistentStoreOpenError, QStringLiteral("A store is already open."),
                  QStringLiteral("this coordinator already has a store"));
        return false;
    }
    if (!model_ || model_->entities().empty()) {
        fillError(error, NSCoreDataError, QStringLiteral("The object model is empty."), QStringLiteral("no entities"));
        return false;
    }
    QFileInfo info(path_);
    if (!info.exists() || (info.isFile() && info.size() == 0)) {
        if (!createStore(path_, error)) return false;
    } else if (!checkHeader(path_, error)) {
        return false;
    }
    if (!openExisting(path_, error)) {
        db_.close();
        return false;
    }
    return true;
}

bool NSPersistentStoreCoordinator::createTables() {
    for (const auto& entity : model_->entities()) {
        const QString table = quoted(entity->name());
        // A key is never given twice, so an object that names a deleted row can
        // never reach a newer one (other processes delete and insert too).
        QStringList columns{QStringLiteral("Z_PK INTEGER PRIMARY KEY AUTOINCREMENT")};
        QStringList cleanUp;
        for (const auto& attribute : entity->attributes()) {
            if (!isBinary(attribute)) {
                columns << quoted(attribute.name) + QLatin1Char(' ') + attribute.sqlType();
                continue;
            }
            const QString side = sideTable(*entity, attribute);
            if (!db_.exec(QStringLiteral("CREATE TABLE %1 (Z_PK INTEGER PRIMARY KEY, %2 BLOB)").arg(side, quoted(attribute.name))))
                return false;
            cleanUp << QStringLiteral("DELETE FROM %1 WHERE Z_PK = OLD.Z_PK;").arg(side);
        }
        if (!db_.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns.join(QStringLiteral(", ")))))
            return false;
        // A row's binary values go with it, whoever deletes it.
        if (!cleanUp.isEmpty() &&
            !db_.exec(QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON %2 BEGIN %3 END")
                          .arg(quoted(QStringLiteral("Z_%1_DELETE").arg(entity->name())), table, cleanUp.join(QLatin1Char(' ')))))
            return false;
        int n = 0;
        for (const NSEntityDescription::Index& index : entity->indexes()) {
            QStringList cols;
            for (const QString& c : index.attributes) cols << quoted(c);
            const QString name = quoted(QStringLiteral("Z_%1_INDEX_%2").arg(entity->name()).arg(++n));
            if (!db_.exec(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                              .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(), name, table,
                                   cols.join(QStringLiteral(", ")))))
                return false;
        }
        if (entity->isSingleRow() && !db_.exec(singleRowTrigger(entity->name()))) return false;
    }
    return db_.exec(QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId)) &&
           db_.exec(QStringLiteral("PRAGMA user_version = %1").arg(model_->versionNumber()));
}

bool NSPersistentStoreCoordinator::createStore(const QString& path, NSError* error) {
    // Build the whole store under a temporary name, then rename it into place:
    // the store path only ever holds a complete store.
    const QString temp = path + QStringLiteral(".new-%1").arg(::getpid());
    QFile::remove(temp);
    for (const char* suffix : {"-journal", "-wal", "-shm"}) QFile::remove(temp + QLatin1String(suffix));
    bool ok = db_.open(temp, SqliteDatabase::OpenMode::ReadWriteCreate) &&
              db_.exec(QStringLiteral("PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL"));
    if (ok) {
        SqliteTransaction transaction(db_);
        ok = transaction.isActive() && createTables() && transaction.commit();
    }
    // Write-ahead logging from now on: one sync per save. Switching while the
    // file is new puts the mode (and the id and version above) into the file's
    // own header, where the next open reads them before SQLite is involved.
    ok = ok && db_.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    if (!ok) {
        fillError(error, NSPersistentStoreOpenError, QStringLiteral("The store could not be created."),
                  db_.errorMessage());
        db_.close();
        QFile::remove(temp);
        return false;
    }
    db_.close(); // the last connection folds the log back into the file and removes it
    // A log left beside a missing or empty store belongs to no store: it must
    // not be replayed into the new one.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) QFile::remove(path + QLatin1String(suffix));
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0) {
        fillError(error, NSPersistentStoreOpenError, QStringLiteral("The store could not be created."),
                  QStringLiteral("cannot move the new store into place"));
        QFile::remove(temp);
        return false;
    }
    syncDirectory(QFileInfo(path).absolutePath());
    return true;
}

bool NSPersistentStoreCoordinator::checkHeader(const QString& path, NSError* error) {
    // Read the header before a connection is opened: SQLite's pager is not
    // let near a file we may not own.
    QString reason;
    const std::optional<QByteArray> read = SqliteDatabase::readFileHeader(path, 100, &reason);
    if (!read) {
        fillError(error, NSPersistentStoreOpenError, QStringLiteral("The store file could not be read."), reason);
        return false;
    }
    const QByteArray& header = *read;
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16))) {
        fillError(error, NSFileReadCorruptFileError, QStringLiteral("The file is not a store."),
                  QStringLiteral("file is not an SQLite database"));
        return false;
    }
    if (bigEndian32(header, 68) != kApplicationId) {
        fillError(error, NSPersistentStoreIncompatibleSchemaError,
                  QStringLiteral("The store's schema is not this application's."),
                  QStringLiteral("unknown schema (application id %1)").arg(bigEndian32(header, 68)));
        return false;
    }
    if (bigEndian32(header, 60) > quint32(model_->versionNumber())) {
        fillError(error, NSPersistentStoreIncompatibleVersionHashError,
                  QStringLiteral("The store was written by a newer version."),
                  QStringLiteral("store version %1, model version %2").arg(bigEndian32(header, 60)).arg(model_->versionNumber()));
        return false;
    }
    return true;
}

bool NSPersistentStoreCoordinator::openExisting(const QString& path, NSError* error) {
    // The time-out comes first: even setting the sync mode reads the schema,
    // which waits for another program that is just closing the store.
    if (!db_.open(path, SqliteDatabase::OpenMode::ReadWrite) ||
        !db_.exec(QStringLiteral("PRAGMA busy_timeout = %1; PRAGMA synchronous = FULL; PRAGMA cache_size = -8192")
                      .arg(kBusyTimeoutMs))) {
        fillError(error, NSPersistentStoreOpenError, QStringLiteral("The store could not be opened."), db_.errorMessage());
        return false;
    }
    // Reading the header through SQLite first replays a crash's journal, so
    // these are the committed values.
    const long long application = db_.queryInt(QStringLiteral("PRAGMA application_id"));
    const long long version = db_.queryInt(QStringLiteral("PRAGMA user_version"));
    if (application == kApplicationId && version > model_->versionNumber()) {
        fillError(error, NSPersistentStoreIncompatibleVersionHashError,
                  QStringLiteral("The store was written by a newer version."),
                  QStringLiteral("store version %1, model version %2").arg(version).arg(model_->versionNumber()));
        return false;
    }
    if (application != kApplicationId || version < 1) {
        fillError(error, NSPersistentStoreIncompatibleVersionHashError,
                  QStringLiteral("The store's schema is not this application's."),
                  QStringLiteral("application id %1, version %2").arg(application).arg(version));
        return false;
    }
    if (version < model_->versionNumber() && !upgrade(error)) return false;
    return checkTables(error);
}

bool NSPersistentStoreCoordinator::checkTables(NSError* error) {
    auto columnsOf = [&](const QString& table) {
        SqliteStatement info = db_.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
        QSet<QString> columns;
        while (info.isValid() && info.step() == SQLITE_ROW) columns.insert(info.columnText(1));
        return columns;
    };
    for (const auto& entity : model_->entities()) {
        const QSet<QString> columns = columnsOf(quoted(entity->name()));
        QStringList missing;
        if (!columns.contains(QStringLiteral("Z_PK"))) missing << QStringLiteral("Z_PK");
        for (const auto& attribute : entity->attributes()) {
            const bool present = isBinary(attribute) ? columnsOf(sideTable(*entity, attribute)).contains(attribute.name)
                                                     : columns.contains(attribute.name);
            if (!present) missing << attribute.name;
        }
        if (!missing.isEmpty()) {
            fillError(error, NSPersistentStoreIncompatibleSchemaError,
                      QStringLiteral("The store's schema does not fit the model."),
                      QStringLiteral("entity %1 lacks %2").arg(entity->name(), missing.join(QStringLiteral(", "))));
            return false;
        }
    }
    return true;
}

bool NSPersistentStoreCoordinator::upgrade(NSError* error) {
    // All steps in one transaction: an interrupted upgrade leaves the old store.
    SqliteTransaction transaction(db_);
    long long version = db_.queryInt(QStringLiteral("PRAGMA user_version"));
    bool ok = transaction.isActive();
    while (ok && version < model_->versionNumber()) {
        auto step = model_->upgradeSteps().find(int(version + 1));
        if (step == model_->upgradeSteps().end()) {
            fillError(error, NSPersistentStoreIncompatibleVersionHashError,
                      QStringLiteral("The store cannot be brought up to date."),
                      QStringLiteral("no upgrade step to version %1").arg(version + 1));
            return false;
        }
        for (const QString& statement : step->second) ok = ok && db_.exec(statement);
        ++version;
    }
    ok = ok && db_.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)) && transaction.commit();
    if (!ok)
        fillError(error, NSPersistentStoreOpenError, QStringLiteral("The store could not be brought up to date."),
                  db_.errorMessage());
    return ok;
}

QVariant NSPersistentStoreCoordinator::readValue(const SqliteStatement& statement, int column,
                                                 const NSAttributeDescription& attribute) {
    if (statement.columnIsNull(column)) return QVariant();
    switch (attribute.type) {
    case NSAttributeType::Integer16:
    case NSAttributeType::Integer32: return QVariant(qint32(statement.columnInt64(column)));
    case NSAttributeType::Integer64: return QVariant(qint64(statement.columnInt64(column)));
    case NSAttributeType::Boolean: return QVariant(statement.columnInt64(column) != 0);
    case NSAttributeType::Float: return QVariant(float(statement.columnDouble(column)));
    case NSAttributeType::Double: return QVariant(statement.columnDouble(column));
    case NSAttributeType::String: return QVariant(statement.columnText(column));
    case NSAttributeType::Date:
        return QVariant(QDateTime::fromMSecsSinceEpoch(std::llround(statement.columnDouble(column) * 1000.0), Qt::UTC));
    case NSAttributeType::Binary: return QVariant(statement.columnBlob(column));
    }
    return QVariant();
}

std::optional<std::vector<NSPersistentStoreCoordinator::StoredRow>> NSPersistentStoreCoordinator::fetchRows(
    const NSEntityDescription& entity, const NSPredicate* predicate, const std::vector<NSSortDescriptor>& sorts,
    NSError* error) {
    std::lock_guard lock(mutex_);
    if (!db_.isOpen()) {
        fillError(error, NSCoreDataError, QStringLiteral("The store is not open."), QStringLiteral("no store"));
        return std::nullopt;
    }
    QStringList columns{QStringLiteral("Z_PK")};
    std::vector<int> read; // attribute index per column after Z_PK
    const auto& attributes = entity.attributes();
    for (int i = 0; i < int(attributes.size()); ++i) {
        if (attributes[size_t(i)].type == NSAttributeType::Binary) continue;
        columns << quoted(attributes[size_t(i)].name);
        read.push_back(i);
    }
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), quoted(entity.name()));
    QVariantList bindings;
    if (predicate) {
        QString where, reason;
        if (!predicate->sqlWhere(entity, &where, &bindings, &reason)) {
            fillError(error, NSCoreDataError, QStringLiteral("The fetch request is not valid."), reason);
            return std::nullopt;
        }
        sql += QStringLiteral(" WHERE ") + where;
    }
    QStringList order;
    for (const NSSortDescriptor& sort : sorts) {
        if (entity.indexOfAttribute(sort.key) < 0) {
            fillError(error, NSCoreDataError, QStringLiteral("The fetch request is not valid."),
                      QStringLiteral("keypath %1 not found in entity %2").arg(sort.key, entity.name()));
            return std::nullopt;
        }
        order << quoted(sort.key) + (sort.ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
    }
    if (!order.isEmpty()) sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));

    SqliteStatement* statement = db_.cached(sql);
    if (!statement) {
        fillError(error, NSCoreDataError, QStringLiteral("The fetch failed."), db_.errorMessage());
        return std::nullopt;
    }
    for (int i = 0; i < int(bindings.size()); ++i) bindVariant(*statement, i + 1, bindings[i]);
    std::vector<StoredRow> rows;
    int rc;
    while ((rc = statement->step()) == SQLITE_ROW) {
        StoredRow row;
        row.rowID = statement->columnInt64(0);
        row.values.resize(attributes.size());
        for (size_t c = 0; c < read.size(); ++c)
            row.values[size_t(read[c])] = readValue(*statement, int(c) + 1, attributes[size_t(read[c])]);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        db_.captureError();
        fillError(error, NSCoreDataError, QStringLiteral("The fetch failed."), db_.errorMessage());
        statement->reset();
        return std::nullopt;
    }
    statement->reset(); // ends the read so that writers are not held up
    return rows;
}

QVariant NSPersistentStoreCoordinator::loadValue(const NSEntityDescription& entity, long long rowID, int attribute) {
    std::lock_guard lock(mutex_);
    if (!db_.isOpen() || rowID == 0) return QVariant();
    const NSAttributeDescription& description = entity.attributes()[size_t(attribute)];
    SqliteStatement* statement = db_.cached(
        QStringLiteral("SELECT %1 FROM %2 WHERE Z_PK = ?").arg(quoted(description.name), sideTable(entity, description)));
    if (!statement) return QVariant();
    statement->bindInt64(1, rowID);
    QVariant value = statement->step() == SQLITE_ROW ? readValue(*statement, 0, description) : QVariant();
    statement->reset();
    return value;
}

long long NSPersistentStoreCoordinator::dataVersion() {
    std::lock_guard lock(mutex_);
    if (!db_.isOpen()) return 0;
    return db_.queryInt(QStringLiteral("PRAGMA data_version"));
}

bool NSPersistentStoreCoordinator::beginWriteTransaction(NSError* error) {
    std::lock_guard lock(mutex_);
    if (!db_.isOpen()) {
        fillError(error, NSPersistentStoreSaveError, QStringLiteral("The store is not open."), QStringLiteral("no store"));
        return false;
    }
    if (held_) return true;
    auto transaction = std::make_unique<SqliteTransaction>(db_);
    if (!transaction->isActive()) {
        fillError(error, NSPersistentStoreSaveError, QStringLiteral("The store is busy."), db_.errorMessage());
        return false;
    }
    held_ = std::move(transaction);
    return true;
}

void NSPersistentStoreCoordinator::endWriteTransaction() {
    std::lock_guard lock(mutex_);
    held_.reset(); // rolls back what no write() committed
}

bool NSPersistentStoreCoordinator::inWriteTransaction() const {
    std::lock_guard lock(mutex_);
    return bool(held_);
}

bool NSPersistentStoreCoordinator::run(SqliteStatement* statement) {
    if (!statement) return false; // not prepared: the connection has the error
    const bool done = statement->step() == SQLITE_DONE;
    if (!done) db_.captureError();
    statement->reset();
    return done;
}

bool NSPersistentStoreCoordinator::writeBinary(const NSEntityDescription& entity, int index, long long rowID,
                                               const QVariant& value) {
    const NSAttributeDescription& attribute = entity.attributes()[size_t(index)];
    SqliteStatement* statement =
        value.isValid() ? db_.cached(QStringLiteral("INSERT OR REPLACE INTO %1 (Z_PK, %2) VALUES (?, ?)")
                                         .arg(sideTable(entity, attribute), quoted(attribute.name)))
                        : db_.cached(QStringLiteral("DELETE FROM %1 WHERE Z_PK = ?").arg(sideTable(entity, attribute)));
    if (statement) {
        statement->bindInt64(1, rowID);
        if (value.isValid()) bindVariant(*statement, 2, value);
    }
    return run(statement);
}

bool NSPersistentStoreCoordinator::writeInsert(const Insert& insert, std::vector<long long>* rowIDs) {
    const auto& attributes = insert.entity->attributes();
    QStringList names, marks;
    for (const auto& attribute : attributes) {
        if (isBinary(attribute)) continue;
        names << quoted(attribute.name);
        marks << QStringLiteral("?");
    }
    SqliteStatement* statement = db_.cached(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                .arg(quoted(insert.entity->name()), names.join(QStringLiteral(", ")),
                                                     marks.join(QStringLiteral(", "))));
    if (statement) {
        int bind = 0;
        for (size_t i = 0; i < attributes.size(); ++i)
            if (!isBinary(attributes[i])) bindVariant(*statement, ++bind, (*insert.values)[i]);
    }
    if (!run(statement)) return false;
    const long long rowID = db_.lastInsertRowId();
    rowIDs->push_back(rowID);
    for (size_t i = 0; i < attributes.size(); ++i) {
        const QVariant& value = (*insert.values)[i];
        if (isBinary(attributes[i]) && value.isValid() && !writeBinary(*insert.entity, int(i), rowID, value))
            return false;
    }
    return true;
}

bool NSPersistentStoreCoordinator::writeUpdate(const Update& update) {
    const auto& attributes = update.entity->attributes();
    QStringList sets;
    for (int index : update.attributes)
        if (!isBinary(attributes[size_t(index)])) sets << quoted(attributes[size_t(index)].name) + QStringLiteral(" = ?");
    if (!sets.isEmpty()) {
        SqliteStatement* statement = db_.cached(QStringLiteral("UPDATE %1 SET %2 WHERE Z_PK = ?")
                                                    .arg(quoted(update.entity->name()), sets.join(QStringLiteral(", "))));
        if (statement) {
            int bind = 0;
            for (int index : update.attributes)
                if (!isBinary(attributes[size_t(index)])) bindVariant(*statement, ++bind, (*update.values)[size_t(index)]);
            statement->bindInt64(++bind, update.rowID);
        }
        if (!run(statement)) return false;
    }
    for (int index : update.attributes)
        if (isBinary(attributes[size_t(index)]) &&
            !writeBinary(*update.entity, index, update.rowID, (*update.values)[size_t(index)]))
            return false;
    return true;
}

bool NSPersistentStoreCoordinator::writeDelete(const Delete& del) {
    SqliteStatement* statement = db_.cached(QStringLiteral("DELETE FROM %1 WHERE Z_PK = ?").arg(quoted(del.entity->name())));
    if (statement) statement->bindInt64(1, del.rowID);
    return run(statement);
}

bool NSPersistentStoreCoordinator::write(const std::vector<Insert>& inserts, const std::vector<Update>& updates,
                                         const std::vector<Delete>& deletes, std::vector<long long>* newRowIDs,
                                         NSError* error) {
    std::lock_guard lock(mutex_);
    const QString description = QStringLiteral("The operation couldn\u2019t be completed. (Cocoa error %1.)").arg(NSPersistentStoreSaveError);
    if (!db_.isOpen()) {
        fillError(error, NSPersistentStoreSaveError, description, QStringLiteral("no store"));
        return false;
    }
    // A held transaction is this write's: what was read in it decided what is
    // written now. Either way the guard rolls back unless the commit succeeds.
    std::unique_ptr<SqliteTransaction> transaction = std::move(held_);
    if (!transaction) transaction = std::make_unique<SqliteTransaction>(db_);
    std::vector<long long> rowIDs;
    rowIDs.reserve(inserts.size());
    bool ok = transaction->isActive();
    for (const Insert& insert : inserts) ok = ok && writeInsert(insert, &rowIDs);
    for (const Update& update : updates) ok = ok && writeUpdate(update);
    for (const Delete& del : deletes) ok = ok && writeDelete(del);
    ok = ok && transaction->commit();
    if (!ok) {
        fillError(error, NSPersistentStoreSaveError, description, db_.errorMessage());
        return false;
    }
    if (newRowIDs) *newRowIDs = std::move(rowIDs);
    return true;
}

} // namespace quorvel
