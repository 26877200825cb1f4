#include "platform/store/SqliteTransaction.h"

namespace quorvel {

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : db_(db) {
    active_ = db_.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

SqliteTransaction::~SqliteTransaction() {
    // Callers read the error before the guard goes; the rollback's own result does not matter.
    if (active_) db_.exec(QStringLiteral("ROLLBACK"));
}

bool SqliteTransaction::commit() {
    if (!active_) return false;
    if (!db_.exec(QStringLiteral("COMMIT"))) return false; // the destructor rolls back
    active_ = false;
    return true;
}

} // namespace quorvel
