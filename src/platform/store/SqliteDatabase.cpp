#include "platform/store/SqliteDatabase.h"

#include <QFile>
#include <algorithm>
#include <cstddef>
#include <sqlite3.h>
#include <vector>

namespace quorvel {

void SqliteDatabase::Closer::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

SqliteDatabase::~SqliteDatabase() { close(); }

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept { *this = std::move(other); }

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::move(other.db_);
        cache_ = std::move(other.cache_);
        errorCode_ = other.errorCode_;
        errorMessage_ = other.errorMessage_;
    }
    return *this;
}

bool SqliteDatabase::open(const QString& path, OpenMode mode) {
    close();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (mode == OpenMode::ReadWriteCreate) flags |= SQLITE_OPEN_CREATE;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        errorCode_ = rc;
        errorMessage_ = raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : QString::fromUtf8(sqlite3_errstr(rc));
        db_.reset();
        return false;
    }
    sqlite3_extended_result_codes(raw, 1);
    return true;
}

void SqliteDatabase::close() {
    cache_.clear(); // statements go before their connection
    db_.reset();
}

bool SqliteDatabase::exec(const QString& sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_.get(), sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        errorCode_ = rc;
        errorMessage_ = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
    }
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

SqliteStatement SqliteDatabase::prepare(const QString& sql) {
    sqlite3_stmt* raw = nullptr;
    QByteArray utf8 = sql.toUtf8();
    int rc = sqlite3_prepare_v2(db_.get(), utf8.constData(), int(utf8.size()), &raw, nullptr);
    if (rc != SQLITE_OK) {
        captureError();
        sqlite3_finalize(raw);
        return SqliteStatement();
    }
    return SqliteStatement(raw);
}

SqliteStatement* SqliteDatabase::cached(const QString& sql) {
    std::string key = sql.toStdString();
    auto it = cache_.find(key);
    if (it != cache_.end()) {
        it->second->reset();
        return it->second.get();
    }
    SqliteStatement statement = prepare(sql);
    if (!statement.isValid()) return nullptr;
    auto owned = std::make_unique<SqliteStatement>(std::move(statement));
    SqliteStatement* result = owned.get();
    cache_.emplace(std::move(key), std::move(owned));
    return result;
}

long long SqliteDatabase::queryInt(const QString& sql, long long fallback) {
    SqliteStatement statement = prepare(sql);
    if (!statement.isValid() || statement.step() != SQLITE_ROW) return fallback;
    return statement.columnInt64(0);
}

long long SqliteDatabase::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_.get()); }

int SqliteDatabase::changes() const { return sqlite3_changes(db_.get()); }

std::optional<QByteArray> SqliteDatabase::readFileHeader(const QString& path, int size, QString* error) {
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    const QByteArray name = QFile::encodeName(path);
    const QByteArray journal = name + "-journal", wal = name + "-wal";
    const char* filename = sqlite3_create_filename(name.constData(), journal.constData(), wal.constData(), 0, nullptr);
    // The VFS's file object, suitably aligned.
    std::vector<std::max_align_t> storage((size_t(vfs->szOsFile) + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
    auto* file = reinterpret_cast<sqlite3_file*>(storage.data());
    int flags = 0;
    int rc = vfs->xOpen(vfs, filename, file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &flags);
    std::optional<QByteArray> header;
    if (rc == SQLITE_OK) {
        sqlite3_int64 fileSize = 0;
        header = QByteArray(size, '\0');
        rc = file->pMethods->xFileSize(file, &fileSize);
        if (rc == SQLITE_OK) rc = file->pMethods->xRead(file, header->data(), size, 0);
        if (rc == SQLITE_IOERR_SHORT_READ) {
            header->truncate(int(std::min<sqlite3_int64>(fileSize, size)));
            rc = SQLITE_OK;
        }
    }
    if (file->pMethods) file->pMethods->xClose(file);
    sqlite3_free_filename(filename);
    if (rc != SQLITE_OK) {
        if (error) *error = QString::fromUtf8(sqlite3_errstr(rc));
        return std::nullopt;
    }
    return header;
}

void SqliteDatabase::captureError() {
    errorCode_ = sqlite3_extended_errcode(db_.get());
    errorMessage_ = QString::fromUtf8(sqlite3_errmsg(db_.get()));
}

} // namespace quorvel
