#pragma once
// One SQLite connection, owned. Move-only; closed in the destructor.
// Statements are always prepared (no string-built values reach SQL); the
// connection caches prepared statements by their SQL text.
// Not thread-safe: the owner serialises calls.
#include "platform/store/SqliteStatement.h"

#include <QString>
#include <QByteArray>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

struct sqlite3;

namespace quorvel {

class SqliteDatabase {
public:
    enum class OpenMode { ReadWrite, ReadWriteCreate };

    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(SqliteDatabase&&) noexcept;
    SqliteDatabase& operator=(SqliteDatabase&&) noexcept;

    // Opens `path`. ReadWrite never creates a file. Returns false and keeps
    // the error code and message when the file cannot be opened.
    bool open(const QString& path, OpenMode mode);
    bool isOpen() const { return bool(db_); }
    void close();

    // Runs statements without parameters (pragmas, schema). False on error.
    bool exec(const QString& sql);
    // A fresh prepared statement; invalid on error.
    SqliteStatement prepare(const QString& sql);
    // A prepared statement kept for reuse, reset and ready to bind; nullptr on error.
    SqliteStatement* cached(const QString& sql);
    // One integer from a query without parameters (pragmas); `fallback` on error.
    long long queryInt(const QString& sql, long long fallback = -1);

    long long lastInsertRowId() const;
    int changes() const;
    int errorCode() const { return errorCode_; }
    QString errorMessage() const { return errorMessage_; }
    // Records the connection's current error (after a failed step).
    void captureError();

    // The first `size` bytes of the file at `path` (fewer when it is shorter),
    // read through SQLite's own file layer without opening a connection: no
    // journal is replayed and nothing is written. Unlike a plain open and
    // close, it leaves the locks of this process's connections to the file in
    // place (closing any descriptor of a file drops them all). nullopt and
    // `error` when the file cannot be read.
    static std::optional<QByteArray> readFileHeader(const QString& path, int size, QString* error);

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Closer> db_;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> cache_;
    int errorCode_ = 0;
    QString errorMessage_;
};

} // namespace quorvel
