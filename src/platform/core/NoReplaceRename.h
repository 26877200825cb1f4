#pragma once
// Gives a file a new name in the same folder without ever replacing a file
// that already has that name, even when another process makes it at the
// same moment: renameat2(RENAME_NOREPLACE), or where the file system lacks
// it, link + unlink, or as a last resort a name reserved with O_EXCL.
//
//   switch (NoReplaceRename::move(work, final, &why)) {
//   case NoReplaceRename::Result::Exists: ... choose another name ...
//
// Thread-safe (plain system calls).
#include <QString>

namespace quorvel {

class NoReplaceRename {
public:
    enum class Result { Moved, Exists, Failed };

    // `error` says why when the result is Failed.
    static Result move(const QString& from, const QString& to, QString* error = nullptr);

    NoReplaceRename() = delete;
};

} // namespace quorvel
