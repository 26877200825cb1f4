#pragma once
// A write transaction on one connection: begun (IMMEDIATE, so that a writer
// fails at the start rather than half-way) in the constructor, rolled back in
// the destructor unless commit() succeeded.
#include "platform/store/SqliteDatabase.h"

namespace quorvel {

class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool isActive() const { return active_; }
    bool commit();

private:
    SqliteDatabase& db_;
    bool active_ = false;
};

} // namespace quorvel
