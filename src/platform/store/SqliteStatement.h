#pragma once
// A prepared SQLite statement, owned. Move-only; finalized in the destructor.
// Bind indices are 1-based, column indices 0-based, as in SQLite.
// Not thread-safe: one statement is used by one thread at a time.
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>

struct sqlite3_stmt;

namespace quorvel {

class SqliteStatement {
public:
    SqliteStatement() = default;
    explicit SqliteStatement(sqlite3_stmt* raw);

    bool isValid() const { return bool(stmt_); }

    void bindNull(int index);
    void bindInt64(int index, long long value);
    void bindDouble(int index, double value);
    void bindText(int index, const QString& value);
    void bindBlob(int index, const QByteArray& value);

    // Steps once: SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Resets for the next run and clears the bindings.
    void reset();

    int columnCount() const;
    bool columnIsNull(int column) const;
    long long columnInt64(int column) const;
    double columnDouble(int column) const;
    QString columnText(int column) const;
    QByteArray columnBlob(int column) const;

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* s) const;
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

} // namespace quorvel
