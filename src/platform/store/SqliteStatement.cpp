#include "platform/store/SqliteStatement.h"

#include <sqlite3.h>

namespace quorvel {

void SqliteStatement::Finalizer::operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }

SqliteStatement::SqliteStatement(sqlite3_stmt* raw) : stmt_(raw) {}

void SqliteStatement::bindNull(int index) { sqlite3_bind_null(stmt_.get(), index); }

void SqliteStatement::bindInt64(int index, long long value) { sqlite3_bind_int64(stmt_.get(), index, value); }

void SqliteStatement::bindDouble(int index, double value) { sqlite3_bind_double(stmt_.get(), index, value); }

void SqliteStatement::bindText(int index, const QString& value) {
    QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(stmt_.get(), index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindBlob(int index, const QByteArray& value) {
    // A zero-length blob stays a blob (not NULL): an empty artwork is still a value.
    sqlite3_bind_blob(stmt_.get(), index, value.isEmpty() ? "" : value.constData(), int(value.size()),
                      SQLITE_TRANSIENT);
}

int SqliteStatement::step() { return sqlite3_step(stmt_.get()); }

void SqliteStatement::reset() {
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
}

int SqliteStatement::columnCount() const { return sqlite3_column_count(stmt_.get()); }

bool SqliteStatement::columnIsNull(int column) const {
    return sqlite3_column_type(stmt_.get(), column) == SQLITE_NULL;
}

long long SqliteStatement::columnInt64(int column) const { return sqlite3_column_int64(stmt_.get(), column); }

double SqliteStatement::columnDouble(int column) const { return sqlite3_column_double(stmt_.get(), column); }

QString SqliteStatement::columnText(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), column));
    int bytes = sqlite3_column_bytes(stmt_.get(), column);
    return text ? QString::fromUtf8(text, bytes) : QString();
}

QByteArray SqliteStatement::columnBlob(int column) const {
    const void* data = sqlite3_column_blob(stmt_.get(), column);
    int bytes = sqlite3_column_bytes(stmt_.get(), column);
    return data ? QByteArray(static_cast<const char*>(data), bytes) : QByteArray("");
}

} // namespace quorvel
