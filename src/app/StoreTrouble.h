#pragma once
// Why the ringtone store could not be opened at start-up, said for a user:
// damaged (not a store, or SQLite finds it malformed), written by a newer
// version, or out of reach (a read-only or full folder, no permission). Only
// a damaged store may be moved aside, kept under a dated name beside it, so
// that a new, empty store can start; nothing is ever deleted.
#include "platform/core/NSError.h"

#include <QDate>
#include <QString>

namespace quorvel {

class StoreTrouble {
public:
    enum class Kind { Damaged, Newer, Unreachable };

    StoreTrouble(const QString& storePath, const NSError& error);

    Kind kind() const { return kind_; }
    bool canMoveAside() const { return kind_ == Kind::Damaged; }
    const QString& storePath() const { return storePath_; }
    // What happened, with the file's full path, as the middle of a sentence
    // ("the ringtone store /home/ann/.../.Quorvel.sqlite is damaged (...)").
    QString what() const;
    // The name a move aside on `day` gives it (".Quorvel.sqlite.damaged-2026-12-08"),
    // with a counter when that name is taken.
    QString keptPath(const QDate& day) const;
    // Renames the store and its log files to keptPath(day), never over a
    // file; false (and `error`) when it could not be moved.
    bool moveAside(const QDate& day, QString* keptAs, QString* error) const;

private:
    QString storePath_;
    QString reason_;
    Kind kind_ = Kind::Unreachable;
};

} // namespace quorvel
